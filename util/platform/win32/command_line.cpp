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

}  // namespace util_platform
