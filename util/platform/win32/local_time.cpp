#include "util/platform/local_time.h"

#include <windows.h>

#include <atomic>

namespace util_platform {
namespace {

std::atomic<LocalTimeSource> g_source{nullptr};

}  // namespace

// GetLocalTime gives the broken-down local time with milliseconds in one call and cannot fail,
// so the per-second cache the POSIX side needs has no purpose here.
LocalTime LocalTimeMs() {
    if (LocalTimeSource source = g_source.load(std::memory_order_acquire)) return source();
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return LocalTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                     now.wMinute, now.wSecond, now.wMilliseconds};
}

void SetLocalTimeSourceForTesting(LocalTimeSource source) {
    g_source.store(source, std::memory_order_release);
}

}  // namespace util_platform
