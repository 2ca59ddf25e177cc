// Scope-ID completion against the system's real adapter list. The test asks
// GetAdaptersAddresses itself, expects the platform layer's records to describe the same
// adapters, picks the first Ethernet adapter the way the rule says, and expects the library to
// append that adapter's zones. Whatever zones the system reports are the expected
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

#include "util/ipformat/ip_format.h"
#include "util/platform/network.h"

namespace {

using GetAdaptersAddressesFunction = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES,
                                                    PULONG);

// The system's adapter list, read with the two-call size protocol; empty when it gives none.
std::vector<unsigned char> ReadAdapters() {
    HMODULE library = ::LoadLibraryW(L"Iphlpapi.dll");
    if (!library) return {};
    auto query = reinterpret_cast<GetAdaptersAddressesFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library, "GetAdaptersAddresses")));
    ULONG size = 0;
    std::vector<unsigned char> buffer;
    if (query && query(AF_UNSPEC, GAA_FLAG_INCLUDE_PREFIX, nullptr, nullptr, &size) ==
                     ERROR_BUFFER_OVERFLOW) {
        buffer.resize(size);
        if (query(AF_UNSPEC, GAA_FLAG_INCLUDE_PREFIX, nullptr,
                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size) != NO_ERROR)
            buffer.clear();
    }
    ::FreeLibrary(library);
    return buffer;
}

// An address needing a zone gets the first Ethernet adapter's: the link zone for fe80, the site
// zone for fd00. Without an Ethernet adapter (or with a zone that is negative as a signed
// number) completion fails the adapter step and the text comes back unchanged. Which addresses
// need which zone is the rule's business, tested over made-up adapter lists; this test proves
// the system's answers.
TEST(ScopeIdWithSystemAdaptersTest, CompletesWithTheFirstEthernetAdaptersZones) {
    const std::vector<unsigned char> buffer = ReadAdapters();
    ASSERT_FALSE(buffer.empty()) << "the system gave no adapter list";
    // The platform layer gives the same list: each record as the system describes the adapter.
    std::vector<util_platform::AdapterRecord> records;
    ASSERT_EQ(util_platform::ReadAdapterList(&records), util_platform::AdapterListResult::kOk);
    std::vector<std::tuple<uint32_t, bool, uint32_t, uint32_t, uint32_t>> system, ours;
    for (const auto& r : records)
        ours.emplace_back(r.interfaceIndex, r.isEthernet, r.linkZone, r.siteZone, r.globalZone);
    const IP_ADAPTER_ADDRESSES* first = nullptr;  // the first adapter of type 6, in its order
    for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next) {
        const bool ethernet = a->IfType == IF_TYPE_ETHERNET_CSMACD;
        system.emplace_back(a->IfIndex, ethernet, a->ZoneIndices[ScopeLevelLink],
                            a->ZoneIndices[ScopeLevelSite], a->ZoneIndices[ScopeLevelGlobal]);
        if (!first && ethernet) first = a;
    }
    EXPECT_EQ(ours, system);
    bool completes = first != nullptr;
    for (const auto level : {ScopeLevelLink, ScopeLevelSite, ScopeLevelGlobal})
        completes = completes && static_cast<LONG>(first->ZoneIndices[level]) >= 0;
    // The address and the level of the zone it takes.
    const std::pair<const char16_t*, SCOPE_LEVEL> rows[] = {
        {u"fe80::1", ScopeLevelLink},
        {u"fd00::5", ScopeLevelSite},
    };
    for (const auto& [address, level] : rows) {
        CString result(u"stale");
        const EIPV6ScopeIdStatus status = CIPFormat::MergeIPV6AddressWithScopeID(address, result);
        const std::string zone =
            completes ? "%" + std::to_string(first->ZoneIndices[level]) : std::string();
        EXPECT_EQ(std::make_pair(status, result.ToUtf8()),
                  std::make_pair(completes ? IPV6_SCOPEID_OK : IPV6_SCOPEID_ADAPTER_ERROR,
                                 CString(address).ToUtf8() + zone));
    }
}

}  // namespace
