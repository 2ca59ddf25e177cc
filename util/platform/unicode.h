#ifndef UTIL_PLATFORM_UNICODE_H
#define UTIL_PLATFORM_UNICODE_H

// Character classification and case mapping of single UTF-16 code units, independent of the
// process's locale: they answer as the wide-character functions do under a UTF-8 locale, so the
// same text behaves the same whatever LANG says. Surrogate units are never changed.

namespace util_platform {

// True for the units iswspace classifies as white space (tab, line feed, vertical tab, form
// feed, carriage return, space, and the Unicode space separators).
bool IsSpaceUnit(char16_t ch) noexcept;

// Simple (one-to-one) case mapping; units without a mapping come back unchanged.
char16_t ToUpperUnit(char16_t ch) noexcept;
char16_t ToLowerUnit(char16_t ch) noexcept;

}  // namespace util_platform

#endif  // UTIL_PLATFORM_UNICODE_H
