#ifndef UTIL_PLATFORM_LOCAL_TIME_H
#define UTIL_PLATFORM_LOCAL_TIME_H

// The wall-clock time of the user's time zone, to the millisecond, as the log stamps its lines.

namespace util_platform {

// A broken-down local time. Fields hold calendar values: month 1-12, day 1-31, hour 0-23,
// minute 0-59, second 0-60 (a leap second), millisecond 0-999.
struct LocalTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
    int millisecond;
};

// The current local time. Cheap enough to call for every log line: on POSIX each thread keeps
// the broken-down form of the last whole second it converted and only redoes the time-zone
// conversion when the second changes, so a change of the time zone (TZ, /etc/localtime) is seen
// from the next second on. If the system clock cannot be read the answer is 1970-01-01
// 00:00:00.000 local time, never garbage.
LocalTime LocalTimeMs();

// Makes LocalTimeMs answer source() instead of reading the clock, so that a test can pin the
// exact bytes of a timestamp; null restores the clock. Safe to call while other threads ask for
// the time.
using LocalTimeSource = LocalTime (*)();
void SetLocalTimeSourceForTesting(LocalTimeSource source);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_LOCAL_TIME_H
