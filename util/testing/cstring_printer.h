#ifndef UTIL_TESTING_CSTRING_PRINTER_H
#define UTIL_TESTING_CSTRING_PRINTER_H

// Test support: lets GoogleTest show a CString in a failure message as readable UTF-8, with
// the code units of anything it cannot show plainly, instead of a byte dump.

#include <ostream>

#include "util/base/cstring.h"

void PrintTo(const CString& text, std::ostream* out);

#endif  // UTIL_TESTING_CSTRING_PRINTER_H
