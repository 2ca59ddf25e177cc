// Completion of link-local and site-local IPv6 addresses with the zone index of the first
// Ethernet adapter.

#include <vector>

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_text.h"
#include "util/ipformat/scope_zone.h"
#include "util/platform/network.h"

namespace ip_text {

EIPV6ScopeIdStatus CompleteWithAdapterZone(const CString& address,
                                           const util_platform::AdapterRecord* adapters,
                                           size_t count, CString& result) {
    const util_platform::AdapterRecord* chosen = nullptr;
    for (size_t i = 0; i < count && !chosen; ++i)
        if (adapters[i].isEthernet) chosen = &adapters[i];
    if (!chosen) return IPV6_SCOPEID_ADAPTER_ERROR;
    const int32_t link = static_cast<int32_t>(chosen->linkZone);
    const int32_t site = static_cast<int32_t>(chosen->siteZone);
    const int32_t global = static_cast<int32_t>(chosen->globalZone);
    if (link < 0 || site < 0 || global < 0) return IPV6_SCOPEID_ADAPTER_ERROR;

    View text = address.View();
    CString firstGroup(text.substr(0, text.find(u':')));
    if (firstGroup.CompareNoCase(u"fe80") == 0) {
        result.Format(u"%s%%%d", address, link);
    } else if (firstGroup.CompareNoCase(u"fd00") == 0) {
        result.Format(u"%s%%%d", address, site);
    } else if (firstGroup.GetAt(0) != u'2' && firstGroup.GetAt(0) != u'3') {
        return IPV6_SCOPEID_INVALID_ADDRESS;
    }
    return IPV6_SCOPEID_OK;
}

}  // namespace ip_text

EIPV6ScopeIdStatus CIPFormat::MergeIPV6AddressWithScopeID(CString address, CString& result) {
    result = address;
    // Everything that can be decided from the text is decided before the system is asked.
    if (IsValidIPV4Address(address)) return IPV6_SCOPEID_IPV4_ADDRESS;
    if (!IsValidIPV6Address(address)) return IPV6_SCOPEID_INVALID_ADDRESS;
    if (IsIPV6AddressIncludeScopeID(address)) return IPV6_SCOPEID_ALREADY_SET;

    using util_platform::AdapterListResult;
    using util_platform::SocketStart;
    switch (util_platform::StartSocketLayer()) {
        case SocketStart::kLoadFailed:
            return IPV6_SCOPEID_LOAD_ERROR;
        case SocketStart::kFailed:
            return IPV6_SCOPEID_SOCKET_ERROR;
        case SocketStart::kStarted:
            break;
    }
    std::vector<util_platform::AdapterRecord> adapters;
    switch (util_platform::ReadAdapterList(&adapters)) {
        case AdapterListResult::kLoadFailed:
            return IPV6_SCOPEID_LOAD_ERROR;
        case AdapterListResult::kNoMemory:
            return IPV6_SCOPEID_NO_MEMORY;
        case AdapterListResult::kFailed:
            return IPV6_SCOPEID_ADAPTER_ERROR;
        case AdapterListResult::kOk:
            break;
    }
    return ip_text::CompleteWithAdapterZone(address, adapters.data(), adapters.size(), result);
}
