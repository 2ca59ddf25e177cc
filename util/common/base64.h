#ifndef UTIL_COMMON_BASE64_H
#define UTIL_COMMON_BASE64_H

// Base64 with the standard alphabet (A-Z a-z 0-9 + /), "=" padding and no line breaks, over
// byte strings (std::string holding arbitrary bytes, zero bytes included).

#include <string>

#include "util/util_export.h"

class UTIL_EXPORT Base64 {
public:
    Base64& operator=(const Base64&) = default;

    // Replaces output with the Base64 text of input. Always true; an empty input gives "".
    //   encode("\x01") -> "AQ==",  encode("ab") -> "YWI=",  encode("abc") -> "YWJj"
    static bool encode(const std::string& input, std::string& output);

    // Replaces output with the bytes encoded in input. Reading stops at the first "=" or zero
    // byte; every byte outside the alphabet (white space, line breaks, anything above 127) is
    // skipped; bits of an unfinished last byte are dropped. Answers false, leaving output
    // unchanged, when a non-empty input yields no complete byte. An empty input gives "".
    //   decode("YW Jj")        -> "abc"
    //   decode("YQ")           -> "a"     (no padding needed)
    //   decode("YQ==YWJj")     -> "a"     (stops at the first "=")
    //   decode("Y"), decode("=YQ") -> false
    static bool decode(const std::string& input, std::string& output);
};

#endif  // UTIL_COMMON_BASE64_H
