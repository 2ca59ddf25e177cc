#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "util/ipformat/ip_format.h"
#include "util/ipformat/scope_zone.h"
#include "util/platform/network.h"

namespace {

using util_platform::AdapterQueryResult;
using util_platform::AdapterRecord;

std::string U8(const CString& s) {
    return s.ToUtf8();
}

AdapterRecord Ethernet(uint32_t index, uint32_t link, uint32_t site, uint32_t global = 0) {
    return {index, true, link, site, global};
}
AdapterRecord Other(uint32_t index) {
    return {index, false, index, index, 0};
}

TEST(ScopeZoneChoice, FirstEthernetAdapterAndTheAddressKindDecide) {
    const std::vector<AdapterRecord> usual = {Other(1), Ethernet(2, 7, 9), Ethernet(3, 3, 3)};
    struct Row {
        const char* rule;
        std::vector<AdapterRecord> adapters;
        const char16_t* address;
        EIPV6ScopeIdStatus status;
        const char16_t* result;  // what `result` holds afterwards (it starts as "(untouched)")
    } rows[] = {
        {"link zone of the first Ethernet adapter", usual, u"fe80::1", IPV6_SCOPEID_OK,
         u"fe80::1%7"},
        {"first group in any case", usual, u"FE80::1", IPV6_SCOPEID_OK, u"FE80::1%7"},
        {"zone goes after the prefix", usual, u"fe80::1/64", IPV6_SCOPEID_OK, u"fe80::1/64%7"},
        {"site zone for fd00", usual, u"fd00::5", IPV6_SCOPEID_OK, u"fd00::5%9"},
        {"global 2xxx needs no zone", usual, u"2001:db8::1", IPV6_SCOPEID_OK, u"(untouched)"},
        {"global 3xxx needs no zone", usual, u"3ffe::1", IPV6_SCOPEID_OK, u"(untouched)"},
        {"first group compared as a whole", usual, u"fe81::1", IPV6_SCOPEID_INVALID_ADDRESS,
         u"(untouched)"},
        {"unique local other than fd00", usual, u"fd12::1", IPV6_SCOPEID_INVALID_ADDRESS,
         u"(untouched)"},
        {"fe800 is not fe80", usual, u"fe800::1", IPV6_SCOPEID_INVALID_ADDRESS, u"(untouched)"},
        {"multicast", usual, u"ff02::1", IPV6_SCOPEID_INVALID_ADDRESS, u"(untouched)"},
        {"empty first group", usual, u"::1", IPV6_SCOPEID_INVALID_ADDRESS, u"(untouched)"},
        {"wireless first is passed over",
         {Other(2), Ethernet(5, 5, 5)},
         u"fe80::1",
         IPV6_SCOPEID_OK,
         u"fe80::1%5"},
        {"no Ethernet at all",
         {Other(1), Other(2)},
         u"fe80::1",
         IPV6_SCOPEID_ADAPTER_ERROR,
         u"(untouched)"},
        {"no Ethernet is checked before the address kind",
         {Other(1)},
         u"ff02::1",
         IPV6_SCOPEID_ADAPTER_ERROR,
         u"(untouched)"},
        {"empty list", {}, u"fe80::1", IPV6_SCOPEID_ADAPTER_ERROR, u"(untouched)"},
        {"largest usable zone",
         {Ethernet(1, 2147483647u, 1)},
         u"fe80::1",
         IPV6_SCOPEID_OK,
         u"fe80::1%2147483647"},
        {"link zone 2^31 is negative",
         {Ethernet(1, 2147483648u, 1)},
         u"fe80::1",
         IPV6_SCOPEID_ADAPTER_ERROR,
         u"(untouched)"},
        {"site zone 2^31 is negative",
         {Ethernet(1, 1, 2147483648u)},
         u"fe80::1",
         IPV6_SCOPEID_ADAPTER_ERROR,
         u"(untouched)"},
        {"global zone is checked though never written",
         {Ethernet(1, 1, 1, 0xFFFFFFFFu)},
         u"2001:db8::1",
         IPV6_SCOPEID_ADAPTER_ERROR,
         u"(untouched)"},
        {"only the first Ethernet adapter's zones count",
         {Ethernet(1, 4, 4), Ethernet(2, 2147483648u, 0)},
         u"fe80::1",
         IPV6_SCOPEID_OK,
         u"fe80::1%4"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.rule) + ": " + U8(row.address));
        CString result = u"(untouched)";
        EXPECT_EQ(ip_text::CompleteWithAdapterZone(row.address, row.adapters.data(),
                                                   row.adapters.size(), result),
                  row.status);
        EXPECT_EQ(U8(result), U8(row.result));
    }
}

// Fabricated system: every function counts its calls and answers as the test sets it up.
struct FakeSystem {
    int calls = 0;
    bool socketAvailable = true;
    int startResult = 0;
    bool queryAvailable = true;
    AdapterQueryResult firstAnswer = AdapterQueryResult::kBufferOverflow;
    AdapterQueryResult secondAnswer = AdapterQueryResult::kOk;
    bool allocationFails = false;
    std::vector<AdapterRecord> adapters = {Other(1), Ethernet(2, 2, 2)};
    int queries = 0;
};
FakeSystem* g_fake = nullptr;

util_platform::NetworkForTesting FakeTable() {
    util_platform::NetworkForTesting table;
    table.socketLayerAvailable = [] { return ++g_fake->calls, g_fake->socketAvailable; };
    table.startSocketLayer = [] { return ++g_fake->calls, g_fake->startResult; };
    table.adapterQueryAvailable = [] { return ++g_fake->calls, g_fake->queryAvailable; };
    table.queryAdapters = [](AdapterRecord* records, size_t* count) {
        ++g_fake->calls;
        if (g_fake->queries++ == 0) {
            if (records) ADD_FAILURE() << "the first query must come without a buffer";
            *count = g_fake->adapters.size();
            return g_fake->firstAnswer;
        }
        if (*count != g_fake->adapters.size()) ADD_FAILURE() << "buffer of a different size";
        if (g_fake->secondAnswer == AdapterQueryResult::kOk)
            std::copy(g_fake->adapters.begin(), g_fake->adapters.end(), records);
        return g_fake->secondAnswer;
    };
    table.allocateAdapterRecords = [](size_t count) -> AdapterRecord* {
        ++g_fake->calls;
        return g_fake->allocationFails ? nullptr : new AdapterRecord[count];
    };
    return table;
}

class MergeScopeId : public ::testing::Test {
  protected:
    void SetUp() override {
        g_fake = &fake_;
        table_ = FakeTable();
        util_platform::SetNetworkForTesting(&table_);
    }
    void TearDown() override {
        util_platform::SetNetworkForTesting(nullptr);
        g_fake = nullptr;
    }
    FakeSystem fake_;
    util_platform::NetworkForTesting table_;
};

TEST_F(MergeScopeId, TextsThatNeedNoAdapterNeverTouchTheSystem) {
    fake_.socketAvailable = fake_.queryAvailable = false;
    fake_.startResult = 1;
    fake_.firstAnswer = AdapterQueryResult::kFailed;
    struct Row {
        const char16_t* address;
        EIPV6ScopeIdStatus status;
    } rows[] = {
        {u"10.0.0.1", IPV6_SCOPEID_IPV4_ADDRESS},
        {u"127.0.0.1", IPV6_SCOPEID_INVALID_ADDRESS},
        {u"224.0.0.1", IPV6_SCOPEID_INVALID_ADDRESS},
        {u"fe80::1%4", IPV6_SCOPEID_ALREADY_SET},
        {u"::ffff:1.2.3.4%a", IPV6_SCOPEID_ALREADY_SET},
        {u" fe80::1", IPV6_SCOPEID_INVALID_ADDRESS},
        {u"fe80::1 ", IPV6_SCOPEID_INVALID_ADDRESS},
        {u"printer", IPV6_SCOPEID_INVALID_ADDRESS},
        {u"fe80::1%eth0", IPV6_SCOPEID_INVALID_ADDRESS},
        {u"", IPV6_SCOPEID_INVALID_ADDRESS},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(U8(row.address));
        CString result = u"stale";
        EXPECT_EQ(CIPFormat::MergeIPV6AddressWithScopeID(row.address, result), row.status);
        EXPECT_EQ(U8(result), U8(row.address));
    }
    EXPECT_EQ(fake_.calls, 0);
}

TEST_F(MergeScopeId, EachSystemFailureHasItsOwnAnswerAndLeavesTheTextAlone) {
    struct Row {
        const char* failure;
        void (*arrange)(FakeSystem&);
        EIPV6ScopeIdStatus status;
    } rows[] = {
        {"socket library missing", [](FakeSystem& f) { f.socketAvailable = false; },
         IPV6_SCOPEID_LOAD_ERROR},
        {"socket layer does not start", [](FakeSystem& f) { f.startResult = 10091; },
         IPV6_SCOPEID_SOCKET_ERROR},
        {"adapter query missing", [](FakeSystem& f) { f.queryAvailable = false; },
         IPV6_SCOPEID_LOAD_ERROR},
        {"sizing call fails", [](FakeSystem& f) { f.firstAnswer = AdapterQueryResult::kFailed; },
         IPV6_SCOPEID_ADAPTER_ERROR},
        {"sizing call answers without asking for a buffer",
         [](FakeSystem& f) { f.firstAnswer = AdapterQueryResult::kOk; },
         IPV6_SCOPEID_ADAPTER_ERROR},
        {"no memory", [](FakeSystem& f) { f.allocationFails = true; }, IPV6_SCOPEID_NO_MEMORY},
        {"second call fails", [](FakeSystem& f) { f.secondAnswer = AdapterQueryResult::kFailed; },
         IPV6_SCOPEID_ADAPTER_ERROR},
        {"list grew between the calls",
         [](FakeSystem& f) { f.secondAnswer = AdapterQueryResult::kBufferOverflow; },
         IPV6_SCOPEID_ADAPTER_ERROR},
        {"no Ethernet adapter", [](FakeSystem& f) { f.adapters = {Other(1)}; },
         IPV6_SCOPEID_ADAPTER_ERROR},
        {"all well", [](FakeSystem&) {}, IPV6_SCOPEID_OK},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.failure);
        fake_ = FakeSystem();
        row.arrange(fake_);
        CString result;
        EXPECT_EQ(CIPFormat::MergeIPV6AddressWithScopeID(u"fe80::1", result), row.status);
        EXPECT_EQ(U8(result), row.status == IPV6_SCOPEID_OK ? "fe80::1%2" : "fe80::1");
    }
}

}  // namespace
