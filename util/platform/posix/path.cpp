#include "util/platform/path.h"

#include <sys/stat.h>

#include "util/base/utf.h"

namespace util_platform {

size_t PathRootLength(std::u16string_view path) {
    return (!path.empty() && path[0] == u'/') ? 1 : 0;
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
