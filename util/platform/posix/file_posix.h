#ifndef UTIL_PLATFORM_POSIX_FILE_POSIX_H
#define UTIL_PLATFORM_POSIX_FILE_POSIX_H

// POSIX only: what the stream layer (stdio_file.cpp) needs from the handle table beyond the
// portable interface of file.h.

#include <cstdint>

#include "util/base/file_handle.h"

namespace util_platform {

// lseek on the handle's descriptor with the full 64-bit offset: the new position, or -1 with
// errno set.
int64_t SeekFileHandle(FileHandle handle, int64_t offset, int whence);

// True when the handle is open on a regular file.
bool IsRegularFileHandle(FileHandle handle);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_POSIX_FILE_POSIX_H
