#ifndef UTIL_PLATFORM_POSIX_FILE_POSIX_H
#define UTIL_PLATFORM_POSIX_FILE_POSIX_H

// POSIX only: what the stream layer (stdio_file.cpp) needs from the handle table beyond the
// portable interface of file.h.

#include <cstdint>
#include <functional>
#include <string_view>

#include "util/base/file_handle.h"

namespace util_platform {

// lseek on the handle's descriptor with the full 64-bit offset: the new position, or -1 with
// errno set.
int64_t SeekFileHandle(FileHandle handle, int64_t offset, int whence);

// True when the handle is open on a regular file.
bool IsRegularFileHandle(FileHandle handle);

// Runs `change` (a rename or delete of the file at path) unless the file is open: a handle,
// stream or log of any process that uses this library holds it, as a handle without delete
// sharing holds a file on Windows. A held file is left alone: false with errno EBUSY. While
// the change runs, openers of the file are refused, so none can slip in between the check and
// the change. Anything but a regular file (a link is not followed) is changed without a check.
bool ChangeNameUnlessHeld(std::u16string_view path, const std::function<bool()>& change);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_POSIX_FILE_POSIX_H
