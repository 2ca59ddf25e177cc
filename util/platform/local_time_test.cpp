#include "util/platform/local_time.h"

#include <gtest/gtest.h>

namespace {

using util_platform::LocalTime;

LocalTime FixedTime() {
    return {1601, 11, 22, 13, 14, 15, 161};
}

// The real clock gives calendar fields in their ranges; a test source replaces it until cleared.
TEST(LocalTimeTest, ClockAndTestSource) {
    const LocalTime now = util_platform::LocalTimeMs();
    EXPECT_TRUE(now.year >= 1000 && now.year <= 9999) << now.year;
    EXPECT_TRUE(now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31) << now.day;
    EXPECT_TRUE(now.hour >= 0 && now.hour <= 23 && now.minute >= 0 && now.minute <= 59) << now.hour;
    EXPECT_TRUE(now.second >= 0 && now.second <= 60 && now.millisecond >= 0 &&
                now.millisecond <= 999)
        << now.second;

    util_platform::SetLocalTimeSourceForTesting(FixedTime);
    const LocalTime fixed = util_platform::LocalTimeMs();
    EXPECT_TRUE(fixed.year == 1601 && fixed.month == 11 && fixed.day == 22 && fixed.hour == 13 &&
                fixed.minute == 14 && fixed.second == 15 && fixed.millisecond == 161);
    util_platform::SetLocalTimeSourceForTesting(nullptr);
    EXPECT_NE(util_platform::LocalTimeMs().year, 1601);
}

}  // namespace
