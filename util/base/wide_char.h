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

#if UTIL_WCHAR_IS_UTF16
#include <cstddef>

namespace util_wide {

// The parameter type of the interface's wchar_t overloads: constant wide text as a Win32 host
// passes it, LPCWSTR or char16_t text, null allowed. A class (not a second pointer type) so that
// a call with char16_t text, null or a CString still picks the char16_t function, as a
// standard conversion beats this user-defined one, and never becomes ambiguous.
class Text {
  public:
    Text(const wchar_t* text) noexcept : units_(reinterpret_cast<const char16_t*>(text)) {}
    Text(const char16_t* text) noexcept : units_(text) {}
    Text(std::nullptr_t) noexcept : units_(nullptr) {}
    const char16_t* get() const noexcept { return units_; }

  private:
    const char16_t* units_;
};

}  // namespace util_wide
#endif

#endif  // UTIL_BASE_WIDE_CHAR_H
