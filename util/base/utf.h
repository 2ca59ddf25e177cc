#ifndef UTIL_BASE_UTF_H
#define UTIL_BASE_UTF_H

// UTF-8 <-> UTF-16 conversion for the operating-system boundary (file names, environment,
// terminal output). Malformed input never fails: each maximal ill-formed UTF-8 sequence becomes
// one U+FFFD, and an unpaired surrogate becomes U+FFFD in UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

namespace util_base {

constexpr char16_t kReplacementChar = 0xFFFD;

// What a UTF-8 lead byte of 0x80 or above announces (Unicode table 3-7): the number of
// continuation bytes (0: the byte cannot start a sequence), the code point bits it carries, and
// the range allowed for the first continuation byte, so that overlong forms, surrogates and
// values above U+10FFFF are rejected. Later continuation bytes are 0x80..0xBF.
struct Utf8Lead {
    int need;
    uint32_t bits;
    unsigned char lo, hi;
};

constexpr Utf8Lead ClassifyUtf8Lead(unsigned char b) {
    Utf8Lead lead{0, 0, 0x80, 0xBF};
    if (b >= 0xC2 && b <= 0xDF) {
        lead.need = 1, lead.bits = b & 0x1Fu;
    } else if (b >= 0xE0 && b <= 0xEF) {
        lead.need = 2, lead.bits = b & 0x0Fu;
        if (b == 0xE0) lead.lo = 0xA0;
        if (b == 0xED) lead.hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        lead.need = 3, lead.bits = b & 0x07u;
        if (b == 0xF0) lead.lo = 0x90;
        if (b == 0xF4) lead.hi = 0x8F;
    }
    return lead;
}

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Appends the UTF-16 form of utf8 to out (the same rules as Utf8ToUtf16).
void AppendUtf8AsUtf16(std::u16string& out, std::string_view utf8);

}  // namespace util_base

#endif  // UTIL_BASE_UTF_H
