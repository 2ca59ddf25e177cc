#include "util/platform/local_time.h"

#include <time.h>

#include <atomic>

namespace util_platform {
namespace {

std::atomic<LocalTimeSource> g_source{nullptr};

// The last whole second this thread converted. localtime_r takes the time-zone lock and walks
// the zone's transition table; a log writes many lines per second, all within the same one.
struct SecondCache {
    time_t second = -1;
    struct tm broken_down {};
    bool valid = false;
};

thread_local SecondCache t_cache;

}  // namespace

LocalTime LocalTimeMs() {
    if (LocalTimeSource source = g_source.load(std::memory_order_acquire)) return source();

    struct timespec now {};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) now = {};
    SecondCache& cache = t_cache;
    if (!cache.valid || cache.second != now.tv_sec) {
        struct tm converted {};
        if (localtime_r(&now.tv_sec, &converted) == nullptr) {
            time_t epoch = 0;
            if (localtime_r(&epoch, &converted) == nullptr) converted = {};
        }
        cache.second = now.tv_sec;
        cache.broken_down = converted;
        cache.valid = true;
    }
    const struct tm& t = cache.broken_down;
    return LocalTime{t.tm_year + 1900,
                     t.tm_mon + 1,
                     t.tm_mday,
                     t.tm_hour,
                     t.tm_min,
                     t.tm_sec,
                     static_cast<int>(now.tv_nsec / 1000000)};
}

void SetLocalTimeSourceForTesting(LocalTimeSource source) {
    g_source.store(source, std::memory_order_release);
}

}  // namespace util_platform
