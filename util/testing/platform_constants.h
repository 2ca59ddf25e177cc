#ifndef UTIL_TESTING_PLATFORM_CONSTANTS_H
#define UTIL_TESTING_PLATFORM_CONSTANTS_H

// Test support: the few expectations that differ between Windows and POSIX, in one place, so
// that one suite runs on both. Everything else a test expects is the same on every platform.
// (Like util_export.h, this header states a platform fact and therefore tests the platform.)

#include <string>

#include "util/base/cstring.h"
#include "util/platform/path.h"

namespace util_testing {

#if defined(_WIN32)
// The environment variable that names the user's temporary folder (GetTempPathW reads TMP
// first).
inline constexpr const char* kTempVariable = "TMP";
// The suffix of executables: tessmar-util.exe.
inline constexpr const char* kExeSuffix = ".exe";
// The line end Windows programs write to standard output (the C runtime's text mode).
inline constexpr const char* kProgramNewline = "\r\n";
#else
inline constexpr const char* kTempVariable = "TMPDIR";
inline constexpr const char* kExeSuffix = "";
inline constexpr const char* kProgramNewline = "\n";
#endif

// The path separator as the library writes it.
inline constexpr char kSeparator = static_cast<char>(util_platform::kPathSeparator);

// A path written with '/' between its elements, with the platform's separator instead:
//   Native("a/b/") -> "a\b\" on Windows, "a/b/" on POSIX.
inline std::string Native(std::string path) {
    for (char& ch : path)
        if (ch == '/') ch = kSeparator;
    return path;
}
inline CString Native(const char16_t* path) {
    CString text(path);
    text.Replace(u'/', util_platform::kPathSeparator);
    return text;
}

}  // namespace util_testing

#endif  // UTIL_TESTING_PLATFORM_CONSTANTS_H
