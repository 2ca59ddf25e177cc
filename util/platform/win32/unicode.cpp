#include "util/platform/unicode.h"

#include <windows.h>

namespace util_platform {
namespace {

bool IsSurrogate(char16_t ch) {
    return ch >= 0xD800 && ch <= 0xDFFF;
}

}  // namespace

// The white space of a UTF-8 locale's iswspace, written out: the system's own classification
// (GetStringTypeW) also counts the no-break spaces U+00A0, U+2007 and U+202F, which would make
// Trim remove them here and keep them on POSIX.
bool IsSpaceUnit(char16_t ch) noexcept {
    if (ch < 0x80) return ch == ' ' || (ch >= 0x09 && ch <= 0x0D);
    switch (ch) {
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x205F:
        case 0x3000:
            return true;
        default:
            return (ch >= 0x2000 && ch <= 0x2006) || (ch >= 0x2008 && ch <= 0x200A);
    }
}

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
