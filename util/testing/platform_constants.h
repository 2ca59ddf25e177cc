#ifndef UTIL_TESTING_PLATFORM_CONSTANTS_H
#define UTIL_TESTING_PLATFORM_CONSTANTS_H

// Test support: the few expectations that differ between Windows and POSIX, in one place, so
// that one suite runs on both. Everything else a test expects is the same on every platform.
// (Like util_export.h, this header states a platform fact and therefore tests the platform.)

#include <string>

#include "util/base/cstring.h"
#include "util/platform/path.h"
#include "util/platform/temp_folder.h"

namespace util_testing {

#if defined(_WIN32)
// The environment variable that names the user's temporary folder (GetTempPathW reads TMP
// first).
inline constexpr const char* kTempVariable = "TMP";
// The suffix of executables: tessmar-util.exe.
inline constexpr const char* kExeSuffix = ".exe";
// The line end Windows programs write to standard output (the C runtime's text mode).
inline constexpr const char* kProgramNewline = "\r\n";
// Whether a test can make symbolic links with std::filesystem (the mingw C++ library cannot;
// reparse points have their own tests in util/platform/win32/).
inline constexpr bool kTestsMakeLinks = false;
// Whether files carry POSIX permission bits (owner/group/other) that a test can set and read.
inline constexpr bool kPosixPermissions = false;
// Whether names that differ only in case name different files.
inline constexpr bool kCaseSensitiveNames = false;
// The system folder as the system names it (GetSystemDirectoryW under Wine).
inline constexpr const char* kSystemFolder = "C:\\windows\\system32";
// Whether LANG/LC_ALL/LC_CTYPE choose the ANSI code page of the process. On Windows it is the
// system's (1252 in a western installation, as under Wine).
inline constexpr bool kLocaleChoosesAnsiCodePage = false;
// Whether LANGUAGE/LC_ALL/LC_MESSAGES/LANG give the user's UI languages (Windows asks the
// system instead).
inline constexpr bool kLocaleVariablesChooseLanguages = false;
// Whether top-level windows are those of the X display that DISPLAY names (under Wine the
// display is the Wine session's, chosen when it starts).
inline constexpr bool kWindowsOnDisplayVariable = false;
// Whether file handles are entries of the library's own table, which refuses a closed handle
// (Windows hands out the system's HANDLE, whose value the system may give out again at once).
inline constexpr bool kHandlesAreTableEntries = false;
#else
inline constexpr const char* kTempVariable = "TMPDIR";
inline constexpr const char* kExeSuffix = "";
inline constexpr const char* kProgramNewline = "\n";
inline constexpr bool kTestsMakeLinks = true;
inline constexpr bool kPosixPermissions = true;
inline constexpr bool kCaseSensitiveNames = true;
inline constexpr const char* kSystemFolder = "/usr/lib";
inline constexpr bool kLocaleChoosesAnsiCodePage = true;
inline constexpr bool kLocaleVariablesChooseLanguages = true;
inline constexpr bool kWindowsOnDisplayVariable = true;
inline constexpr bool kHandlesAreTableEntries = true;
#endif

// The name ScopedTempDir gives its directory number u: the system's temporary-name rule, "tmp",
// u in hexadecimal, ".TMP". On Windows the letter case is the system's own (Windows writes
// "tmpA.TMP", Wine "tmpa.tmp"), so the name is asked of the library's TempFileName there.
inline std::string TempName(unsigned u) {
#if defined(_WIN32)
    const std::u16string path = util_platform::TempFileName(u"C:\\", u);
    const std::u16string name = path.substr(path.find_last_of(u"\\/") + 1);
    return std::string(name.begin(), name.end());  // ASCII only
#else
    static const char kHex[] = "0123456789ABCDEF";
    std::string digits;
    do {
        digits.insert(digits.begin(), kHex[u % 16]);
        u /= 16;
    } while (u != 0);
    return "tmp" + digits + ".TMP";
#endif
}

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
