#include "util/platform/unicode.h"

#include <windows.h>

namespace util_platform {
namespace {

bool IsSurrogate(char16_t ch) {
    return ch >= 0xD800 && ch <= 0xDFFF;
}

}  // namespace

// Case mapping through the system's locale-independent table, one unit at a time.
char16_t ToUpperUnit(char16_t ch) noexcept {
    if (ch < 0x80) return (ch >= 'a' && ch <= 'z') ? static_cast<char16_t>(ch - 32) : ch;
    if (IsSurrogate(ch)) return ch;
    wchar_t unit = static_cast<wchar_t>(ch);
    ::CharUpperBuffW(&unit, 1);
    return static_cast<char16_t>(unit);
}

char16_t ToLowerUnit(char16_t ch) noexcept {
    if (ch < 0x80) return (ch >= 'A' && ch <= 'Z') ? static_cast<char16_t>(ch + 32) : ch;
    if (IsSurrogate(ch)) return ch;
    wchar_t unit = static_cast<wchar_t>(ch);
    ::CharLowerBuffW(&unit, 1);
    return static_cast<char16_t>(unit);
}

}  // namespace util_platform
