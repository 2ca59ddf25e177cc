#include "util/logging/timestamp.h"

#include "util/base/format.h"

namespace util_logging {
namespace {

constexpr char16_t kTimestampFormat[] = u"%04d-%02d-%02d %02d:%02d:%02d.%03d";

bool InRange(int value, int limit) {
    return value >= 0 && value < limit;
}

// Writes value as exactly `digits` decimal digits, right to left.
void PutDigits(char16_t* at, int value, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
        at[i] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    }
}

template <class Out>
void Append(Out& out, const util_platform::LocalTime& t) {
    if (!(InRange(t.year, 10000) && InRange(t.month, 100) && InRange(t.day, 100) &&
          InRange(t.hour, 100) && InRange(t.minute, 100) && InRange(t.second, 100) &&
          InRange(t.millisecond, 1000))) {
        const util_format::FormatArg args[] = {t.year,   t.month,  t.day,        t.hour,
                                               t.minute, t.second, t.millisecond};
        util_format::FormatArgList(out, kTimestampFormat, args, 7);
        return;
    }
    char16_t text[kTimestampLength] = {u'0', u'0', u'0', u'0', u'-', u'0', u'0', u'-',
                                       u'0', u'0', u' ', u'0', u'0', u':', u'0', u'0',
                                       u':', u'0', u'0', u'.', u'0', u'0', u'0'};
    PutDigits(text + 0, t.year, 4);
    PutDigits(text + 5, t.month, 2);
    PutDigits(text + 8, t.day, 2);
    PutDigits(text + 11, t.hour, 2);
    PutDigits(text + 14, t.minute, 2);
    PutDigits(text + 17, t.second, 2);
    PutDigits(text + 20, t.millisecond, 3);
    out.append(text, kTimestampLength);
}

}  // namespace

void AppendTimestamp(std::u16string& out, const util_platform::LocalTime& time) {
    Append(out, time);
}

void AppendTimestamp(util_base::SmallText& out, const util_platform::LocalTime& time) {
    Append(out, time);
}

}  // namespace util_logging
