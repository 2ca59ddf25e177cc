#include "util/logging/timestamp.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "util/platform/local_time.h"

namespace {

using util_platform::LocalTime;

std::u16string Stamp(const LocalTime& t) {
    std::u16string out = u"x";  // appends, never replaces
    util_logging::AppendTimestamp(out, t);
    return out.substr(1);
}

TEST(TimestampTest, ZeroPaddedFieldsThatGrowWhenTheValueIsWider) {
    const std::pair<LocalTime, const char16_t*> rows[] = {
        {{7, 1, 2, 3, 4, 5, 6}, u"0007-01-02 03:04:05.006"},
        {{12345, 1, 1, 0, 0, 0, 0}, u"12345-01-01 00:00:00.000"},  // wider than its field
        {{2024, 3, 5, 7, 8, 9, 1000}, u"2024-03-05 07:08:09.1000"},
        {{-1, 0, 0, 0, 0, 0, 0}, u"-001-00-00 00:00:00.000"},
        {{2024, 100, 5, -7, 8, 9, 12}, u"2024-100-05 -7:08:09.012"},
    };
    for (const auto& [t, expected] : rows) EXPECT_EQ(Stamp(t), expected) << t.year;
}

}  // namespace
