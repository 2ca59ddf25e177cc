#ifndef UTIL_PLATFORM_UNICODE_H
#define UTIL_PLATFORM_UNICODE_H

// Character classification and case mapping of single UTF-16 code units, independent of the
// process's locale, so the same text behaves the same whatever LANG says. Case mapping answers
// as the wide-character functions do under a UTF-8 locale. Surrogate units are never changed.

#include <string_view>

namespace util_platform {

// True for the units the Windows C runtime's iswspace classifies as white space, on every
// platform (util/platform/white_space.cpp holds the table): tab, line feed, vertical tab, form
// feed, carriage return, space, U+00A0, U+1680, U+2000..U+200A, U+2028, U+2029, U+202F,
// U+205F and U+3000. Not U+0085, U+180E, U+200B, U+FEFF nor U+001C..U+001F.
bool IsSpaceUnit(char16_t ch) noexcept;

// text without the white space (IsSpaceUnit) at its start and its end, as CString::Trim cuts.
std::u16string_view TrimSpace(std::u16string_view text) noexcept;

// Simple (one-to-one) case mapping; units without a mapping come back unchanged.
char16_t ToUpperUnit(char16_t ch) noexcept;
char16_t ToLowerUnit(char16_t ch) noexcept;

}  // namespace util_platform

#endif  // UTIL_PLATFORM_UNICODE_H
