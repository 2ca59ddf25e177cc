#ifndef UTIL_IPFORMAT_SCOPE_ZONE_H
#define UTIL_IPFORMAT_SCOPE_ZONE_H

// The choice rule of scope-ID completion, kept apart from the system query so that it can be
// tried on any list of adapters.

#include <cstddef>

#include "util/base/cstring.h"
#include "util/ipformat/ip_format.h"
#include "util/platform/network.h"

namespace ip_text {

// For a valid IPv6 address without scope ID: takes the first Ethernet adapter of the list and
// completes the address with its zone. Answers
//   IPV6_SCOPEID_ADAPTER_ERROR    no Ethernet adapter, or one of its three zone indices is
//                                 negative as a signed 32-bit value (2^31 and above);
//   IPV6_SCOPEID_OK               first group fe80 (any case): result = address + "%" + link
//                                 zone; fd00: the site zone; first character 2 or 3: result
//                                 untouched (a global address needs no zone);
//   IPV6_SCOPEID_INVALID_ADDRESS  any other first group (fe81, fd12, ff02, "" for "::1").
// The first group is compared as a whole; the zone goes after any prefix ("fe80::1/64%4").
// `result` is only written on completion.
EIPV6ScopeIdStatus CompleteWithAdapterZone(const CString& address,
                                           const util_platform::AdapterRecord* adapters,
                                           size_t count, CString& result);

}  // namespace ip_text

#endif  // UTIL_IPFORMAT_SCOPE_ZONE_H
