#include "util/logging/timestamp.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "util/base/cstring.h"
#include "util/platform/local_time.h"

namespace {

using util_platform::LocalTime;

std::u16string Stamp(const LocalTime& t) {
    std::u16string out = u"x";  // appends, never replaces
    util_logging::AppendTimestamp(out, t);
    return out.substr(1);
}

// The direct path must write exactly what the printf format writes, for every field width.
TEST(TimestampTest, WritesWhatThePrintfFormatWrites) {
    for (const auto& [t, literal] : std::vector<std::pair<LocalTime, const char16_t*>>{
             {{2024, 3, 5, 7, 8, 9, 12}, u"2024-03-05 07:08:09.012"},
             {{1999, 12, 31, 23, 59, 59, 999}, u"1999-12-31 23:59:59.999"},
             {{2016, 12, 31, 23, 59, 60, 500}, u"2016-12-31 23:59:60.500"},  // leap second
             {{7, 1, 2, 3, 4, 5, 6}, u"0007-01-02 03:04:05.006"},
             {{12345, 1, 1, 0, 0, 0, 0}, u"12345-01-01 00:00:00.000"},  // wider than its field
             {{2024, 3, 5, 7, 8, 9, 1000}, u"2024-03-05 07:08:09.1000"},
             {{-1, 0, 0, 0, 0, 0, 0}, u"-001-00-00 00:00:00.000"},
             {{2024, 100, 5, -7, 8, 9, 12}, u"2024-100-05 -7:08:09.012"},
         }) {
        CString expected;
        expected.Format(u"%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour,
                        t.minute, t.second, t.millisecond);
        EXPECT_EQ(Stamp(t), expected.View()) << expected.ToUtf8();
        EXPECT_EQ(Stamp(t), literal);
    }
}

LocalTime FixedTime() {
    return {1601, 11, 22, 13, 14, 15, 161};
}

// The real clock gives 23-character stamps; a test source replaces it until cleared.
TEST(TimestampTest, ClockAndTestSource) {
    const LocalTime now = util_platform::LocalTimeMs();
    EXPECT_TRUE(now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31) << now.day;
    EXPECT_TRUE(now.hour <= 23 && now.second <= 60 && now.millisecond <= 999) << now.hour;
    std::u16string shape = Stamp(now);
    for (char16_t& unit : shape)
        if (unit >= u'0' && unit <= u'9') unit = u'9';
    EXPECT_EQ(shape, u"9999-99-99 99:99:99.999");

    util_platform::SetLocalTimeSourceForTesting(FixedTime);
    EXPECT_EQ(Stamp(util_platform::LocalTimeMs()), u"1601-11-22 13:14:15.161");
    util_platform::SetLocalTimeSourceForTesting(nullptr);
    EXPECT_NE(util_platform::LocalTimeMs().year, 1601);
}

}  // namespace
