#ifndef UTIL_PLATFORM_WIN32_WIDE_H
#define UTIL_PLATFORM_WIN32_WIDE_H

// The boundary between the library's char16_t text and the wchar_t text of the Win32 calls.
// On Windows both are the same 16-bit UTF-16 units, so conversion is a copy (the copy adds the
// terminating zero that the system wants and a string_view lacks).

#include <cstddef>
#include <string>
#include <string_view>

namespace util_platform {
namespace win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide text is UTF-16");

inline std::wstring Wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

inline std::u16string FromWide(const wchar_t* text, size_t length) {
    return std::u16string(text, text + length);
}

inline std::u16string FromWide(const wchar_t* text) {
    return FromWide(text, std::char_traits<wchar_t>::length(text));
}

}  // namespace win32
}  // namespace util_platform

#endif  // UTIL_PLATFORM_WIN32_WIDE_H
