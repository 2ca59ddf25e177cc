#ifndef UTIL_COMMON_CSTRING_UTIL_H
#define UTIL_COMMON_CSTRING_UTIL_H

// Splitting, trimming, joining and right-replacing wide strings and string lists.

#include "util/base/cstring.h"
#include "util/util_export.h"

namespace common {
namespace sdk {
namespace cstring_util {

// Appends the pieces of source between separators to *list, behind what it already holds.
// Every separator splits, so empty pieces are kept:
//   Split("a,,b", ',') -> {"a", "", "b"}
//   Split("a,", ',')   -> {"a", ""}
//   Split("", ',')     -> {""}
// list must not be null.
UTIL_EXPORT void Split(const CString& source, char16_t separator, StringList* list);

// Removes leading and trailing white space (as the Windows C runtime's iswspace knows it, on
// every platform: U+00A0 and U+202F included, U+200B not) from every element; inner
// white space stays. A null list does nothing.
UTIL_EXPORT void Trim(StringList* list);

// Writes the elements joined by separator to *output (discarded when output is null). An empty
// list leaves *output as it was:
//   Join({"a", "b"}, u", ", &s) -> s == "a, b"
//   Join({}, u", ", &s)         -> s unchanged
UTIL_EXPORT void Join(const StringList& list, const char16_t* separator, CString* output);

// The elements joined by separator; "" for an empty list.
UTIL_EXPORT CString Join(const StringList& list, const char16_t* separator);
#if UTIL_WCHAR_IS_UTF16
// Join with a wchar_t separator (LPCWSTR): Join(list, L", ").
inline void Join(const StringList& list, util_wide::Text separator, CString* output) {
    Join(list, separator.get(), output);
}
inline CString Join(const StringList& list, util_wide::Text separator) {
    return Join(list, separator.get());
}
#endif

// Overwrites the trailing run of `from` characters with `to`; stops at the first other character:
//   ReplaceRightChars("aabaa", 'a', 'b') -> "aabbb"
// A null pointer or an empty string does nothing.
UTIL_EXPORT void ReplaceRightChars(CString* text, char16_t from, char16_t to);

}  // namespace cstring_util
}  // namespace sdk
}  // namespace common

#endif  // UTIL_COMMON_CSTRING_UTIL_H
