// Scope-ID completion through the public member, over a fabricated system: each function of the
// platform's network table counts its calls and answers as the row sets it up.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "util/ipformat/ip_format.h"
#include "util/platform/network.h"

namespace {

using util_platform::AdapterListResult;
using util_platform::AdapterRecord;
using Adapters = std::vector<AdapterRecord>;
using C16 = const char16_t*;

constexpr auto kOk = IPV6_SCOPEID_OK, kInvalid = IPV6_SCOPEID_INVALID_ADDRESS;
constexpr auto kAdapterError = IPV6_SCOPEID_ADAPTER_ERROR;
constexpr uint32_t k2To31 = 2147483648u;  // negative as a signed 32-bit zone

AdapterRecord Ethernet(uint32_t index, uint32_t link, uint32_t site, uint32_t global = 0) {
    return {index, true, link, site, global};
}
AdapterRecord Other(uint32_t index) {
    return {index, false, index, index, 0};
}

struct FakeSystem {
    int calls = 0;
    util_platform::SocketStart start = util_platform::SocketStart::kStarted;
    AdapterListResult list = AdapterListResult::kOk;
    Adapters adapters = {Other(1), Ethernet(2, 2, 2)};
};
FakeSystem g_fake;

class MergeScopeId : public ::testing::Test {
  protected:
    void SetUp() override {
        g_fake = FakeSystem();
        table_.startSocketLayer = [] { return ++g_fake.calls, g_fake.start; };
        table_.readAdapterList = [](Adapters* adapters) {
            ++g_fake.calls;
            if (g_fake.list == AdapterListResult::kOk) *adapters = g_fake.adapters;
            return g_fake.list;
        };
        util_platform::SetNetworkForTesting(&table_);
    }
    void TearDown() override { util_platform::SetNetworkForTesting(nullptr); }
    // Merges `address`; expects `status` and, unless given, the address unchanged in the result.
    static void Expect(C16 address, EIPV6ScopeIdStatus status, C16 completed = nullptr) {
        CString result = u"stale";
        EXPECT_EQ(CIPFormat::MergeIPV6AddressWithScopeID(address, result), status);
        EXPECT_EQ(result.ToUtf8(), CString(completed ? completed : address).ToUtf8());
    }
    util_platform::NetworkForTesting table_;
};

TEST_F(MergeScopeId, FirstEthernetAdapterAndTheAddressKindDecideTheZone) {
    const Adapters usual = {Other(1), Ethernet(2, 7, 9), Ethernet(3, 3, 3)};
    const Adapters maxGlobal = {Ethernet(1, 1, 1, 0xFFFFFFFFu)};
    const Adapters twoEthernet = {Ethernet(1, 4, 4), Ethernet(2, k2To31, 0)};
    const std::tuple<const char*, Adapters, C16, EIPV6ScopeIdStatus, C16> rows[] = {
        {"link zone of the first Ethernet adapter", usual, u"fe80::1", kOk, u"fe80::1%7"},
        {"first group in any case, zone after the prefix", usual, u"FE80::1/64", kOk,
         u"FE80::1/64%7"},
        {"site zone for fd00", usual, u"fd00::5", kOk, u"fd00::5%9"},
        {"global 2xxx needs no zone", usual, u"2001:db8::1", kOk, nullptr},
        {"global 3xxx needs no zone", usual, u"3ffe::1", kOk, nullptr},
        {"unique local other than fd00", usual, u"fd12::1", kInvalid, nullptr},
        {"fe800 is not fe80: first group compared whole", usual, u"fe800::1", kInvalid, nullptr},
        {"empty first group", usual, u"::1", kInvalid, nullptr},
        {"no Ethernet, checked before the kind", {Other(1)}, u"ff02::1", kAdapterError, nullptr},
        {"largest zone", {Ethernet(1, k2To31 - 1, 1)}, u"fe80::1", kOk, u"fe80::1%2147483647"},
        {"link zone 2^31", {Ethernet(1, k2To31, 1)}, u"fe80::1", kAdapterError, nullptr},
        {"site zone 2^31", {Ethernet(1, 1, k2To31)}, u"fe80::1", kAdapterError, nullptr},
        {"global zone checked, never written", maxGlobal, u"2001:db8::1", kAdapterError, nullptr},
        {"only the first Ethernet adapter's zones count", twoEthernet, u"fe80::1", kOk,
         u"fe80::1%4"},
    };
    for (const auto& [rule, adapters, address, status, completed] : rows) {
        SCOPED_TRACE(rule);
        g_fake = FakeSystem();
        g_fake.adapters = adapters;
        Expect(address, status, completed);
    }
}

TEST_F(MergeScopeId, TextsThatNeedNoAdapterNeverTouchTheSystem) {
    Expect(u"10.0.0.1", IPV6_SCOPEID_IPV4_ADDRESS);
    Expect(u"127.0.0.1", kInvalid);
    Expect(u"fe80::1%4", IPV6_SCOPEID_ALREADY_SET);
    Expect(u" fe80::1", kInvalid);
    Expect(u"fe80::1%eth0", kInvalid);
    EXPECT_EQ(g_fake.calls, 0);
}

TEST_F(MergeScopeId, EachSystemFailureHasItsOwnAnswerAndLeavesTheTextAlone) {
    using F = FakeSystem;
    using R = AdapterListResult;
    using S = util_platform::SocketStart;
    constexpr auto kLoad = IPV6_SCOPEID_LOAD_ERROR;
    const std::tuple<const char*, void (*)(F&), EIPV6ScopeIdStatus> rows[] = {
        {"socket library missing", [](F& f) { f.start = S::kLoadFailed; }, kLoad},
        {"socket layer does not start", [](F& f) { f.start = S::kFailed; },
         IPV6_SCOPEID_SOCKET_ERROR},
        {"adapter query missing", [](F& f) { f.list = R::kLoadFailed; }, kLoad},
        {"no adapter list", [](F& f) { f.list = R::kFailed; }, kAdapterError},
        {"no memory", [](F& f) { f.list = R::kNoMemory; }, IPV6_SCOPEID_NO_MEMORY},
        {"all well", [](F&) {}, kOk},
    };
    for (const auto& [failure, arrange, status] : rows) {
        SCOPED_TRACE(failure);
        g_fake = FakeSystem();
        arrange(g_fake);
        Expect(u"fe80::1", status, status == kOk ? u"fe80::1%2" : nullptr);
        // A socket layer that did not start ends the call before the adapters are asked for.
        EXPECT_EQ(g_fake.calls, g_fake.start == S::kStarted ? 2 : 1);
    }
}

}  // namespace
