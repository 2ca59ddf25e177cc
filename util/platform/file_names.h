#ifndef UTIL_PLATFORM_FILE_NAMES_H
#define UTIL_PLATFORM_FILE_NAMES_H

// Operations on the name of one file inside a folder, as the log's backup rotation needs them.
// None of them follows a symbolic link at the last element: a link named like the file is
// itself found, deleted or renamed, never the file it points to.

#include <string_view>

namespace util_platform {

// True when the folder holds an entry of exactly this name (file, folder, link, dangling or
// not), as a directory search for the name would find it.
bool DirectoryEntryExists(std::u16string_view path);

// Deletes the file at path. False when it does not exist, is a folder or cannot be deleted,
// which includes a file that is open: a file held through a handle, a text stream or the log
// (of any process using this library) is neither deleted nor renamed, as on Windows.
bool DeleteFileEntry(std::u16string_view path);

// Renames the entry at from to `to`. Never replaces: false when something exists at `to`
// already, when from does not exist, when from is open (see DeleteFileEntry), or when the
// system refuses.
bool RenameFileEntry(std::u16string_view from, std::u16string_view to);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_FILE_NAMES_H
