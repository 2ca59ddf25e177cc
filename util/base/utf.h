#ifndef UTIL_BASE_UTF_H
#define UTIL_BASE_UTF_H

// UTF-8 <-> UTF-16 conversion for the operating-system boundary (file names, environment,
// terminal output). Malformed input never fails: each maximal ill-formed UTF-8 sequence becomes
// one U+FFFD, and an unpaired surrogate becomes U+FFFD in UTF-8.

#include <string>
#include <string_view>

namespace util_base {

constexpr char16_t kReplacementChar = 0xFFFD;

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Appends the UTF-16 form of utf8 to out (the same rules as Utf8ToUtf16).
void AppendUtf8AsUtf16(std::u16string& out, std::string_view utf8);

}  // namespace util_base

#endif  // UTIL_BASE_UTF_H
