#ifndef UTIL_LOGGING_TIMESTAMP_H
#define UTIL_LOGGING_TIMESTAMP_H

// The log's timestamp: a local time written as "%04d-%02d-%02d %02d:%02d:%02d.%03d" from year,
// month, day, hour, minute, second and millisecond, e.g. "2024-03-05 07:08:09.012" (23 units).

#include <cstddef>
#include <string>

#include "util/base/small_text.h"
#include "util/platform/local_time.h"

namespace util_logging {

constexpr size_t kTimestampLength = 23;

// Appends the timestamp of `time` to out. Fields inside their printf widths (year 0-9999, the
// others 0-99, millisecond 0-999) take a direct path without the general formatter; any other
// value is written exactly as the printf format writes it (so the text may then be longer than
// kTimestampLength), never clipped.
void AppendTimestamp(std::u16string& out, const util_platform::LocalTime& time);
void AppendTimestamp(util_base::SmallText& out, const util_platform::LocalTime& time);

}  // namespace util_logging

#endif  // UTIL_LOGGING_TIMESTAMP_H
