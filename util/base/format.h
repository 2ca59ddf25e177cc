#ifndef UTIL_BASE_FORMAT_H
#define UTIL_BASE_FORMAT_H

// The printf-style formatter behind CString::Format and the log. It works on char16_t text
// because the platform's wide printf works on wchar_t, which is 32 bits wide on Linux.
//
// Width and precision are limited to kMaxFieldWidth so that a hostile format cannot ask for
// gigabytes. %n is not supported (it would write through an argument) and is copied through
// like any other unknown conversion.

#include <cstdarg>
#include <cstddef>
#include <string>

#include "util/base/cstring.h"
#include "util/base/small_text.h"

namespace util_format {

constexpr int kMaxFieldWidth = 1 << 16;

// Appends the formatted text to out. The arguments are read as vprintf reads them.
void FormatVaList(std::u16string& out, const char16_t* format, va_list args);
void FormatVaList(util_base::SmallText& out, const char16_t* format, va_list args);

// Appends the formatted text to out. Arguments beyond count read as 0 / "".
void FormatArgList(std::u16string& out, const char16_t* format, const FormatArg* args,
                   size_t count);
void FormatArgList(util_base::SmallText& out, const char16_t* format, const FormatArg* args,
                   size_t count);

}  // namespace util_format

#endif  // UTIL_BASE_FORMAT_H
