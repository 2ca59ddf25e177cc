#ifndef UTIL_BASE_PATH_H
#define UTIL_BASE_PATH_H

// CPath: a CString that holds a file-system path, with the few path edits the library needs.
// The separator is the platform's: '\' on Windows, '/' on POSIX (where a backslash is an
// ordinary file-name character). Examples below are written for POSIX. On Windows the edits
// are shlwapi's (PathAppendW, PathRemoveFileSpecW, PathAddBackslashW, PathFileExistsW, on
// paths of fewer than 260 units) and give their answers:
//   "C:\Tool" + "..\x" -> "C:\x"    "C:\Tool" + "D:\x" -> "D:\x"    "C:\Tool" + "\\srv\s" ->
//   "\\srv\s" Append(nullptr) -> false           "\\srv\share\x" RemoveFileSpec -> "\\srv\share" a
//   path of 260 units or more: Append and RemoveFileSpec answer false, nothing changes.

#include "util/base/cstring.h"
#include "util/util_export.h"

class UTIL_EXPORT CPath : public CString {
  public:
    CPath() = default;
    CPath(const CString& path) : CString(path) {}
    CPath(const char16_t* path) : CString(path) {}
#if UTIL_WCHAR_IS_UTF16
    // wchar_t text (LPCWSTR) where it is UTF-16, as for char16_t: CPath p(L"C:\\Tool");
    CPath(const wchar_t* path) : CString(path) {}
    bool Append(util_wide::Text more) {
        return Append(more.get());
    }
#endif

    // Joins more to the path with exactly one separator between them:
    //   "/opt/tool" + "x.ini"  -> "/opt/tool/x.ini"
    //   "/opt/tool/" + "/x.ini" -> "/opt/tool/x.ini"
    //   "" + "x.ini"           -> "x.ini"
    // An empty `more` leaves the path as it is. Answers true.
    bool Append(const char16_t* more);

    // Removes the last element and the separator before it, keeping the root:
    //   "/opt/tool/x.ini" -> "/opt/tool",  "/opt/tool/" -> "/opt/tool",  "/x" -> "/",  "x" -> ""
    // Answers true when the path changed.
    bool RemoveFileSpec();

    // Adds a trailing separator unless the path is empty or already ends with one.
    void AddBackslash();

    // True when something exists at the path.
    bool FileExists() const;
};

#endif  // UTIL_BASE_PATH_H
