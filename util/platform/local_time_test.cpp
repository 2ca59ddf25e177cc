#include "util/platform/local_time.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using util_platform::LocalTime;

auto Fields(const LocalTime& t) {
    return std::make_tuple(t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
}

// The real clock gives calendar fields in their ranges; a test source replaces it until cleared.
TEST(LocalTimeTest, ClockAndTestSource) {
    const auto [year, month, day, hour, minute, second, ms] = Fields(util_platform::LocalTimeMs());
    EXPECT_TRUE(year >= 1000 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
                day <= 31 && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 &&
                second >= 0 && second <= 60 && ms >= 0 && ms <= 999)
        << year << "-" << month << "-" << day << " " << hour << ":" << minute << ":" << second
        << "." << ms;
    util_platform::SetLocalTimeSourceForTesting(
        [] { return LocalTime{1601, 11, 22, 13, 14, 15, 161}; });
    EXPECT_EQ(Fields(util_platform::LocalTimeMs()), std::make_tuple(1601, 11, 22, 13, 14, 15, 161));
    util_platform::SetLocalTimeSourceForTesting(nullptr);
    EXPECT_NE(util_platform::LocalTimeMs().year, 1601);
}

}  // namespace
