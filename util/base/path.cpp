#include "util/base/path.h"

#include "util/platform/path.h"

// Each edit is the platform's (util/platform/path.h): shlwapi's on Windows.
bool CPath::Append(const char16_t* more) {
    std::u16string path(View());
    if (!util_platform::AppendPath(path, more)) return false;
    CString::operator=(std::u16string_view(path));
    return true;
}

bool CPath::RemoveFileSpec() {
    std::u16string path(View());
    const bool changed = util_platform::RemovePathFileSpec(path);
    CString::operator=(std::u16string_view(path));
    return changed;
}

void CPath::AddBackslash() {
    std::u16string path(View());
    util_platform::AddPathSeparator(path);
    CString::operator=(std::u16string_view(path));
}

bool CPath::FileExists() const {
    return util_platform::PathExists(View());
}
