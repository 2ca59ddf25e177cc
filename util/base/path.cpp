#include "util/base/path.h"

#include "util/platform/path.h"

using util_platform::IsPathSeparator;
using util_platform::kPathSeparator;

bool CPath::Append(const char16_t* more) {
    std::u16string_view tail(more ? more : u"");
    while (!tail.empty() && IsPathSeparator(tail.front())) tail.remove_prefix(1);
    if (tail.empty()) {
        if (more && *more && IsEmpty()) *this = CPath(more);  // "" + "/" stays a root
        return true;
    }
    if (!IsEmpty()) AddBackslash();
    *this += tail;
    return true;
}

bool CPath::RemoveFileSpec() {
    std::u16string_view v = View();
    size_t root = util_platform::PathRootLength(v);
    size_t end = v.size();
    while (end > root && !IsPathSeparator(v[end - 1])) --end;  // the last element
    while (end > root && IsPathSeparator(v[end - 1])) --end;  // the separator before it
    if (end == v.size()) return false;
    *this = CPath(CString(v.substr(0, end)));
    return true;
}

void CPath::AddBackslash() {
    int n = GetLength();
    if (n > 0 && !IsPathSeparator(GetAt(n - 1))) *this += kPathSeparator;
}

bool CPath::FileExists() const { return util_platform::PathExists(View()); }
