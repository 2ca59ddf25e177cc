// White space as the Windows C runtime's iswspace knows it, on every platform, so Trim, the
// address comparison's stripping and the settings reader answer alike on Windows and POSIX.
//
// The table was measured with a small mingw-w64 program linked against msvcrt.dll, run under
// Wine 8: it called iswspace on every unit 0x0000..0xFFFF and printed the runs that answered
// true. The test WhiteSpaceTable (util/platform/win32/) compares it with the runtime again on
// every unit. Unlike glibc's UTF-8 locales it counts the no-break spaces U+00A0, U+2007 and
// U+202F, and it does not count the separators U+001C..U+001F.

#include "util/platform/unicode.h"

namespace util_platform {

bool IsSpaceUnit(char16_t ch) noexcept {
    if (ch < 0x80) return ch == u' ' || (ch >= 0x09 && ch <= 0x0D);
    switch (ch) {
        case 0x00A0:  // no-break space
        case 0x1680:  // ogham space mark
        case 0x2028:  // line separator
        case 0x2029:  // paragraph separator
        case 0x202F:  // narrow no-break space
        case 0x205F:  // medium mathematical space
        case 0x3000:  // ideographic space
            return true;
        default:
            return ch >= 0x2000 && ch <= 0x200A;  // en quad .. hair space, figure space included
    }
}

std::u16string_view TrimSpace(std::u16string_view text) noexcept {
    size_t first = 0, last = text.size();
    while (first < last && IsSpaceUnit(text[first])) ++first;
    while (last > first && IsSpaceUnit(text[last - 1])) --last;
    return text.substr(first, last - first);
}

}  // namespace util_platform
