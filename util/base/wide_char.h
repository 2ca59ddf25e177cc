#ifndef UTIL_BASE_WIDE_CHAR_H
#define UTIL_BASE_WIDE_CHAR_H

// UTIL_WCHAR_IS_UTF16 is 1 where wchar_t holds the same 16-bit UTF-16 code units as char16_t
// (Windows), 0 where it is wider (32 bits on Linux). Where it is 1, CString also takes and gives
// `const wchar_t*`, so a Win32 host hands its LPCWSTR text over without casts.
//
// Decided by the type's range, not by the name of the system: the property is what matters.

#include <cwchar>

#if WCHAR_MAX <= 0xFFFF
#define UTIL_WCHAR_IS_UTF16 1
#else
#define UTIL_WCHAR_IS_UTF16 0
#endif

#endif  // UTIL_BASE_WIDE_CHAR_H
