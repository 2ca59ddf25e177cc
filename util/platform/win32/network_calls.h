#ifndef UTIL_PLATFORM_WIN32_NETWORK_CALLS_H
#define UTIL_PLATFORM_WIN32_NETWORK_CALLS_H

// The system calls behind StartSocketLayer and ReadAdapterList (network.h), as one table a test
// can replace to count them and to fabricate what the system answers. The entry points found
// by getProcAddress are called as WSAStartup and GetAdaptersAddresses.

#include <windows.h>

#include <cstddef>

namespace util_platform {
namespace win32 {

struct NetworkCalls {
    HMODULE(WINAPI* loadLibrary)(LPCWSTR name) = nullptr;
    FARPROC(WINAPI* getProcAddress)(HMODULE module, LPCSTR name) = nullptr;
    BOOL(WINAPI* freeLibrary)(HMODULE module) = nullptr;
    void* (*allocate)(size_t bytes) = nullptr;
    void (*release)(void* block) = nullptr;
};

// From now on the network functions make their calls through `calls` (every member must be
// set); null restores the system's own. The table must outlive its use. Tests only.
void SetNetworkCallsForTesting(const NetworkCalls* calls);

}  // namespace win32
}  // namespace util_platform

#endif  // UTIL_PLATFORM_WIN32_NETWORK_CALLS_H
