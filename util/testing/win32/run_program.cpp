// RunProgram on Windows: CreateProcessW with the program's standard streams on pipes, one
// thread per pipe so that neither side can block the other.

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <thread>

#include "util/testing/platform_constants.h"
#include "util/testing/run_cli.h"
#include "util/testing/win32/wide.h"

namespace util_testing {
namespace {

// One argument quoted so that the C runtime's command-line splitter (CommandLineToArgvW rules)
// gives it back unchanged: backslashes are literal except before a quote.
void AppendQuoted(std::wstring* line, const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line->append(arg);
        return;
    }
    line->push_back(L'"');
    size_t backslashes = 0;
    for (wchar_t ch : arg) {
        if (ch == L'\\') {
            ++backslashes;
            continue;
        }
        line->append(ch == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line->push_back(ch);
    }
    line->append(2 * backslashes, L'\\');
    line->push_back(L'"');
}

// Names of environment variables compare without regard to case on Windows.
struct NoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(),
            [](wchar_t x, wchar_t y) { return std::towupper(x) < std::towupper(y); });
    }
};

// The inherited environment with the changes applied, as a sorted environment block.
std::wstring EnvironmentBlock(const std::vector<std::string>& changes) {
    std::map<std::wstring, std::wstring, NoCaseLess> vars;
    if (wchar_t* strings = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
            const wchar_t* eq = wcschr(entry + 1, L'=');  // "=C:=C:\x" names start with '='
            if (eq) vars[std::wstring(entry, eq)] = eq + 1;
        }
        ::FreeEnvironmentStringsW(strings);
    }
    for (const std::string& change : changes) {
        const size_t eq = change.find('=');
        if (eq == std::string::npos)
            vars.erase(WideFromUtf8(change));
        else
            vars[WideFromUtf8(change.substr(0, eq))] = WideFromUtf8(change.substr(eq + 1));
    }
    std::wstring block;
    for (const auto& [name, value] : vars) block += name + L'=' + value + L'\0';
    block += L'\0';
    return block;
}

struct Pipe {
    HANDLE read = nullptr, write = nullptr;
    ~Pipe() {
        if (read) ::CloseHandle(read);
        if (write) ::CloseHandle(write);
    }
};

// A pipe whose `childEnd` (read or write) the child inherits.
bool MakePipe(Pipe* pipe, bool childReads) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!::CreatePipe(&pipe->read, &pipe->write, &inherit, 0)) return false;
    return ::SetHandleInformation(childReads ? pipe->write : pipe->read, HANDLE_FLAG_INHERIT, 0);
}

void Close(HANDLE* handle) {
    ::CloseHandle(*handle);
    *handle = nullptr;
}

std::string ReadAll(HANDLE from) {
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    return text;
}

// Windows programs end their lines with CR LF on standard output; the callers compare LF.
std::string WithLfLineEnds(std::string text) {
    const std::string crlf = kProgramNewline;
    for (size_t at = 0; (at = text.find(crlf, at)) != std::string::npos; ++at)
        text.replace(at, crlf.size(), "\n");
    return text;
}

}  // namespace

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, const std::string& input,
                     const std::string& dir) {
    std::wstring line;
    AppendQuoted(&line, WideFromUtf8(program));
    for (const std::string& arg : args) {
        line.push_back(L' ');
        AppendQuoted(&line, WideFromUtf8(arg));
    }
    Pipe in, out, err;
    if (!MakePipe(&in, true) || !MakePipe(&out, false) || !MakePipe(&err, false))
        return {-1, "", "no pipes"};

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.read;
    startup.hStdOutput = out.write;
    startup.hStdError = err.write;
    std::wstring block = EnvironmentBlock(env);
    const std::wstring folder = WideFromUtf8(dir);
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(
        nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT, block.data(),
        folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    // The child holds its own copies now; ours must go, or the pipes never report their end.
    Close(&in.read);
    Close(&out.write);
    Close(&err.write);
    if (!started) return {127, "", "cannot start " + program};

    RunResult result{-1, "", ""};
    std::thread writer([&] {
        DWORD written = 0;
        for (size_t at = 0; at < input.size(); at += written)
            if (!::WriteFile(in.write, input.data() + at, static_cast<DWORD>(input.size() - at),
                             &written, nullptr))
                break;
        Close(&in.write);
    });
    std::thread errReader([&] { result.err = ReadAll(err.read); });
    result.out = ReadAll(out.read);
    errReader.join();
    writer.join();
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (::GetExitCodeProcess(process.hProcess, &code)) result.exitCode = static_cast<int>(code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    result.out = WithLfLineEnds(std::move(result.out));
    result.err = WithLfLineEnds(std::move(result.err));
    return result;
}

}  // namespace util_testing
