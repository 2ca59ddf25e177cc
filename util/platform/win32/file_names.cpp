#include "util/platform/file_names.h"

#include <windows.h>

#include <string>

#include "util/platform/win32/wide.h"

namespace util_platform {

// None of the calls below follows a reparse point at the last element: FindFirstFileW reports
// the link's own entry, DeleteFileW and MoveFileExW act on the link itself.

bool DirectoryEntryExists(std::u16string_view path) {
    // A wildcard would make the search match other names; no entry can carry one.
    if (path.empty() || path.find_first_of(u"*?") != std::u16string_view::npos) return false;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(win32::Wide(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    ::FindClose(search);
    return true;
}

bool DeleteFileEntry(std::u16string_view path) {
    if (path.empty()) return false;
    return ::DeleteFileW(win32::Wide(path).c_str()) != FALSE;  // refuses folders
}

bool RenameFileEntry(std::u16string_view from, std::u16string_view to) {
    if (from.empty() || to.empty()) return false;
    // Without MOVEFILE_REPLACE_EXISTING an existing target is refused.
    return ::MoveFileExW(win32::Wide(from).c_str(), win32::Wide(to).c_str(), 0) != FALSE;
}

}  // namespace util_platform
