#ifndef UTIL_PLATFORM_WIN32_FAULTS_H
#define UTIL_PLATFORM_WIN32_FAULTS_H

// The faults that tests inject through file.h's ...ForTesting functions, shared by the handle
// layer (file.cpp) and the streams (stdio_file.cpp). Each check is one atomic step, so threads
// that read or write at the same time share one budget exactly.

#include <cstddef>
#include <cstdint>

namespace util_platform {
namespace win32 {

// A fault as the two kinds of callers report it.
struct FaultCodes {
    unsigned long system = 0;  // a Win32 error code, for handles
    int runtime = 0;           // a C runtime errno value, for streams
};

// How many of count bytes a write may write; *fault is set when that is fewer than count.
size_t AllowedWrite(size_t count, FaultCodes* fault);

// How many of count bytes a read may deliver. False (and *fault set) when the read budget is
// used up: the read fails.
bool AllowedRead(size_t count, size_t* allowed, FaultCodes* fault);

// False (and *fault set) when an open must fail.
bool OpenAllowed(FaultCodes* fault);

}  // namespace win32
}  // namespace util_platform

#endif  // UTIL_PLATFORM_WIN32_FAULTS_H
