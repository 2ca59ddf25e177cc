#include "util/platform/command_line.h"

#include <windows.h>
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

namespace util_platform {
namespace {

std::string Utf8FromWide(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string utf8(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(size) - 1);  // without the terminating zero
    return utf8;
}

std::wstring WideFromUtf8(const std::string& text) {
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          size);
    return wide;
}

// One argument quoted the way CommandLineToArgvW reads it back: inside quotes, backslashes
// are literal unless they precede a quote, where each counts double.
void AppendQuoted(const std::wstring& arg, std::wstring* line) {
    if (!line->empty()) line->push_back(L' ');
    line->push_back(L'"');
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line->append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line->push_back(c);
    }
    line->append(2 * backslashes, L'\\');
    line->push_back(L'"');
}

}  // namespace

std::vector<std::string> ProgramArguments(int, char**) {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide) return args;
    for (int i = 1; i < count; ++i) args.push_back(Utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return args;
}

void UseUtf8Output() {
    ::SetConsoleOutputCP(CP_UTF8);
}

bool RunInstead(const std::string& program, const std::vector<std::string>& args) {
    const std::wstring path = WideFromUtf8(program);
    std::wstring line;
    AppendQuoted(path, &line);
    for (const std::string& arg : args) AppendQuoted(WideFromUtf8(arg), &line);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hProcess);
    ::ExitProcess(status);
    return true;  // not reached
}

}  // namespace util_platform
