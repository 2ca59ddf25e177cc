#ifndef UTIL_TESTING_WIN32_WIDE_H
#define UTIL_TESTING_WIN32_WIDE_H

// Test support on Windows: UTF-8 <-> UTF-16 for the wide Win32 and CRT calls.

#include <windows.h>

#include <string>

namespace util_testing {

inline std::wstring WideFromUtf8(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                          length);
    return wide;
}

}  // namespace util_testing

#endif  // UTIL_TESTING_WIN32_WIDE_H
