#ifndef UTIL_FILES_FILE_ACCESS_INTERNAL_H
#define UTIL_FILES_FILE_ACCESS_INTERNAL_H

// What the library itself needs of CFileAccess beyond its exported interface.

#include "util/base/file_handle.h"
#include "util/files/file_access.h"

namespace file_access_internal {

// CFileAccess::FA_OpenFile(path, mode), except that with ownerOnly a file the open creates can
// be read and written by its owner only (the log's fallback in the temporary folder).
FileHandle OpenFile(const char16_t* path, FileMode mode, bool ownerOnly);

}  // namespace file_access_internal

#endif  // UTIL_FILES_FILE_ACCESS_INTERNAL_H
