#ifndef UTIL_BASE_FILE_HANDLE_H
#define UTIL_BASE_FILE_HANDLE_H

// An opaque handle of an open file or device. 0 means "no handle". Handles are issued by the
// platform layer; a handle that is stale, closed twice or made up is answered with failure, never
// with undefined behaviour.
using FileHandle = void*;

#endif  // UTIL_BASE_FILE_HANDLE_H
