#ifndef UTIL_BASE_FILE_HANDLE_H
#define UTIL_BASE_FILE_HANDLE_H

// An opaque handle of an open file or device. 0 means "no handle". Handles are issued by the
// platform layer (util/platform/file.h), and what they are depends on the platform:
//   Windows: the HANDLE that CreateFileW gave, cast to void*. Hosts may pass it to Win32 calls
//     and may give the library a HANDLE they opened themselves. As with any HANDLE, using one
//     after it was closed is the caller's error.
//   POSIX: an entry of the library's handle table, not a descriptor; a handle that is stale,
//     closed twice or made up is answered with failure, never with undefined behaviour.
using FileHandle = void*;

#endif  // UTIL_BASE_FILE_HANDLE_H
