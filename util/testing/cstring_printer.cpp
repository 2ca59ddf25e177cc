#include "util/testing/cstring_printer.h"

#include <cstdio>

void PrintTo(const CString& text, std::ostream* out) {
    *out << '"';
    for (char16_t unit : text.View()) {
        if (unit >= 0x20 && unit < 0x7F && unit != u'\\' && unit != u'"') {
            *out << static_cast<char>(unit);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
            *out << escaped;
        }
    }
    *out << '"';
}
