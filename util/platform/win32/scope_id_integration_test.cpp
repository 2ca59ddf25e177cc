// Scope-ID completion against the system's real adapter list. The test asks
// GetAdaptersAddresses itself, picks the first Ethernet adapter the way the rule says, and expects
// the library to append that adapter's zones. Whatever zones the system reports are the expected
// ones (Wine reports 0 for all); the choice rule itself is covered with made-up adapter lists by
// the portable tests.

#include <winsock2.h>
// windows.h after winsock2.h, or it would bring the old winsock.h in.
#include <windows.h>
// The adapter types, which build on both.
#include <iphlpapi.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "util/base/utf.h"
#include "util/ipformat/ip_format.h"
#include "util/platform/network.h"

namespace {

struct FirstEthernet {
    bool found = false, zonesUsable = false;
    ULONG link = 0, site = 0;
};

using GetAdaptersAddressesFunction = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES,
                                                    PULONG);

// The first adapter of type 6 in the system's order, read with the two-call size protocol.
bool ReadFirstEthernet(FirstEthernet* first, size_t* adapters) {
    HMODULE library = ::LoadLibraryW(L"Iphlpapi.dll");
    if (!library) return false;
    auto query = reinterpret_cast<GetAdaptersAddressesFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library, "GetAdaptersAddresses")));
    ULONG size = 0;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_PROC_NOT_FOUND;
    if (query && query(AF_UNSPEC, GAA_FLAG_INCLUDE_PREFIX, nullptr, nullptr, &size) ==
                     ERROR_BUFFER_OVERFLOW) {
        buffer.resize(size);
        result = query(AF_UNSPEC, GAA_FLAG_INCLUDE_PREFIX, nullptr,
                       reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    ::FreeLibrary(library);
    if (result != NO_ERROR) return false;
    auto* list = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    *adapters = 0;
    for (const IP_ADAPTER_ADDRESSES* adapter = list; adapter; adapter = adapter->Next) {
        ++*adapters;
        if (first->found || adapter->IfType != IF_TYPE_ETHERNET_CSMACD) continue;
        first->found = true;
        first->link = adapter->ZoneIndices[ScopeLevelLink];
        first->site = adapter->ZoneIndices[ScopeLevelSite];
        first->zonesUsable = static_cast<LONG>(first->link) >= 0 &&
                             static_cast<LONG>(first->site) >= 0 &&
                             static_cast<LONG>(adapter->ZoneIndices[ScopeLevelGlobal]) >= 0;
    }
    return true;
}

// An address needing a zone gets the first Ethernet adapter's: the link zone for fe80, the site
// zone for fd00; a global address stays as it is, other kinds are refused. The answers decided
// from the text alone (`fromText`) come whatever the adapters are.
TEST(ScopeIdWithSystemAdaptersTest, CompletesWithTheFirstEthernetAdaptersZones) {
    FirstEthernet first;
    size_t adapters = 0;
    ASSERT_TRUE(ReadFirstEthernet(&first, &adapters)) << "the system gave no adapter list";

    // The platform layer sees the same list: as many records, the same first Ethernet zones.
    size_t count = 0;
    ASSERT_EQ(util_platform::QueryAdapters(nullptr, &count),
              util_platform::AdapterQueryResult::kBufferOverflow);
    EXPECT_EQ(count, adapters);

    const bool completes = first.found && first.zonesUsable;
    const std::u16string link = util_base::Utf8ToUtf16(std::to_string(first.link));
    const std::u16string site = util_base::Utf8ToUtf16(std::to_string(first.site));
    // Address, status, text after the merge, and whether the text alone decides the answer.
    const std::tuple<const char16_t*, EIPV6ScopeIdStatus, std::u16string, bool> rows[] = {
        {u"fe80::1", IPV6_SCOPEID_OK, u"fe80::1%" + link, false},
        {u"FE80::abcd/64", IPV6_SCOPEID_OK, u"FE80::abcd/64%" + link, false},
        {u"fd00::5", IPV6_SCOPEID_OK, u"fd00::5%" + site, false},
        {u"2001:db8::1", IPV6_SCOPEID_OK, u"2001:db8::1", false},
        {u"fd12::1", IPV6_SCOPEID_INVALID_ADDRESS, u"fd12::1", false},
        {u"::1", IPV6_SCOPEID_INVALID_ADDRESS, u"::1", false},
        {u"192.168.1.1", IPV6_SCOPEID_IPV4_ADDRESS, u"192.168.1.1", true},
        {u"fe80::1%4", IPV6_SCOPEID_ALREADY_SET, u"fe80::1%4", true},
        {u" fe80::1", IPV6_SCOPEID_INVALID_ADDRESS, u" fe80::1", true},
    };
    for (const auto& [address, status, expected, fromText] : rows) {
        SCOPED_TRACE(CString(address).ToUtf8());
        CString result(u"stale");
        const EIPV6ScopeIdStatus got = CIPFormat::MergeIPV6AddressWithScopeID(address, result);
        // Without an Ethernet adapter (or with unusable zones) every address the text does not
        // decide fails the adapter step, and the text comes back unchanged.
        const bool decided = completes || fromText;
        EXPECT_EQ(std::make_pair(got, result.ToUtf8()),
                  std::make_pair(decided ? status : IPV6_SCOPEID_ADAPTER_ERROR,
                                 util_base::Utf16ToUtf8(decided ? expected : address)));
    }
}

}  // namespace
