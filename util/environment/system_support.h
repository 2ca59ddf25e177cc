#ifndef UTIL_ENVIRONMENT_SYSTEM_SUPPORT_H
#define UTIL_ENVIRONMENT_SYSTEM_SUPPORT_H

// The decisions behind ENV_IsUSupportUSB and ENV_IsUSupportIPv6 on a system that keeps a version
// record: pure functions of the record, so that every threshold can be checked without that
// system at hand.

#include "util/platform/environment.h"

namespace common {
namespace sdk {
namespace environment {

constexpr unsigned kPlatformNt = 2;

// USB from NT 5.0 on; never on the 9x family.
inline bool UsbSupportedByVersion(const util_platform::OsVersionRecord& v) {
    return v.platformId == kPlatformNt && v.major >= 5;
}

// IPv6 from NT 5.1 on: 5.0 lacks it, 5.1 and 5.2 have it, and so does every version from 6.0
// whatever its minor number.
inline bool Ipv6SupportedByVersion(const util_platform::OsVersionRecord& v) {
    return v.platformId == kPlatformNt && ((v.major >= 5 && v.minor >= 1) || v.major >= 6);
}

}  // namespace environment
}  // namespace sdk
}  // namespace common

#endif  // UTIL_ENVIRONMENT_SYSTEM_SUPPORT_H
