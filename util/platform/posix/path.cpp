#include "util/platform/path.h"

#include <sys/stat.h>

#include "util/base/utf.h"

namespace util_platform {

size_t PathRootLength(std::u16string_view path) {
    return (!path.empty() && path[0] == u'/') ? 1 : 0;
}

bool AppendPath(std::u16string& path, const char16_t* more) {
    std::u16string_view tail(more ? more : u"");
    while (!tail.empty() && IsPathSeparator(tail.front())) tail.remove_prefix(1);
    if (tail.empty()) {
        if (more && *more && path.empty()) path = more;  // "" + "/" stays a root
        return true;
    }
    AddPathSeparator(path);
    path += tail;
    return true;
}

bool RemovePathFileSpec(std::u16string& path) {
    const size_t root = PathRootLength(path);
    size_t end = path.size();
    while (end > root && !IsPathSeparator(path[end - 1])) --end;  // the last element
    while (end > root && IsPathSeparator(path[end - 1])) --end;   // the separator before it
    if (end == path.size()) return false;
    path.resize(end);
    return true;
}

void AddPathSeparator(std::u16string& path) {
    if (!path.empty() && !IsPathSeparator(path.back())) path += kPathSeparator;
}

bool PathExists(std::u16string_view path) {
    if (path.empty()) return false;
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0;
}

std::string NativePath(std::u16string_view path) {
    return util_base::Utf16ToUtf8(path);
}

}  // namespace util_platform
