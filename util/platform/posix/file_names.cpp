#include "util/platform/file_names.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "util/platform/path.h"
#include "util/platform/posix/file_posix.h"

namespace util_platform {
namespace {

bool RenameNoReplace(const std::string& source, const std::string& target) {
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: a hard link refuses an existing target too.
    if (::link(source.c_str(), target.c_str()) != 0) return false;
    if (::unlink(source.c_str()) != 0) {
        ::unlink(target.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool DirectoryEntryExists(std::u16string_view path) {
    if (path.empty()) return false;
    struct stat st;
    return ::lstat(NativePath(path).c_str(), &st) == 0;
}

// A file that is open stays where it is, as on Windows, where the library's handles do not let
// others delete or rename the file they hold.
bool DeleteFileEntry(std::u16string_view path) {
    if (path.empty()) return false;
    const std::string native = NativePath(path);
    return ChangeNameUnlessHeld(path, [&] { return ::unlink(native.c_str()) == 0; });
}

bool RenameFileEntry(std::u16string_view from, std::u16string_view to) {
    if (from.empty() || to.empty()) return false;
    const std::string source = NativePath(from);
    const std::string target = NativePath(to);
    return ChangeNameUnlessHeld(from, [&] { return RenameNoReplace(source, target); });
}

}  // namespace util_platform
