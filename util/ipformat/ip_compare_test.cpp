#include <gtest/gtest.h>

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_format_peer.h"

namespace {

using P = CIPFormatPeer;

std::string U8(const CString& s) {
    return s.ToUtf8();
}

struct Row {
    const char* why;
    const char16_t* first;
    const char16_t* second;
    bool same;
};

TEST(IPCompare, SameAddressRules) {
    const Row rows[] = {
        {"both empty after stripping", u"", u"  \t", true},
        {"empty against text", u"", u"printer", false},
        {"white space stripped", u"192.0.2.1", u" 192.0.2.1\t", true},
        {"octets compared by value", u"010.1.1.1", u"10.1.1.1", true},
        {"last octet differs", u"192.0.2.1", u"192.0.2.2", false},
        {"IPv4 against IPv6", u"192.0.2.1", u"::ffff:192.0.2.1", false},
        {"reserved IPv4 still compares", u"255.255.255.255", u"255.255.255.0255", true},
        {"host names are case-sensitive", u"printer", u"Printer", false},
        {"equal host names", u"printer", u"printer", true},
        {"invalid texts compared as text", u"1.2.3.256", u"1.2.3.256", true},
        {"hex, case, leading zeros, \"::\" expanded", u"fe80::1", u"FE80:0:0:0:0:0:0:0001", true},
        {"leading \"::\"", u"::1", u"0:0:0:0:0:0:0:1", true},
        {"same groups", u"::1", u"0::1", true},
        {"trailing \"::\"", u"1::", u"1:0:0:0:0:0:0:0", true},
        {"\"::\" in the middle", u"1:2::7:8", u"1:2:0:0:0:0:7:8", true},
        {"different groups", u"1:2::7:8", u"1:2::8:7", false},
        {"\"::\" alone", u"::", u"0:0:0:0:0:0:0:0", true},
        {"prefix 64 against 0", u"fe80::1/64", u"fe80::1", false},
        {"missing prefix counts as 0", u"fe80::1/0", u"fe80::1", true},
        {"prefix with a leading zero", u"fe80::1/064", u"fe80::1/64", true},
        {"scope on one side only", u"fe80::1%4", u"fe80::1", false},
        {"equal scopes", u"fe80::1%4", u"fe80::1%4", true},
        {"scopes are case-sensitive text", u"fe80::1%a", u"fe80::1%A", false},
        {"scopes are not compared by value", u"fe80::1%4", u"fe80::1%04", false},
        {"all-zero IPv6 parts, equal tails", u"::192.0.2.1", u"0:0:0:0:0:0:192.0.2.1", true},
        {"\"::\" part before the tail", u":::192.0.2.1", u"::192.0.2.1", true},
        {"tails differ", u"::ffff:192.0.2.1", u"::ffff:192.0.2.2", false},
        {"tail against groups", u"::ffff:192.0.2.1", u"::ffff:c000:201", false},
        {"tail octets by value", u"::ffff:192.0.2.1", u"::ffff:192.000.2.01", true},
        {"ours: \"::\" groups end at group 5 before a tail", u"::ffff:192.0.2.1",
         u"0:0:0:0:0:ffff:192.0.2.1", true},
        {"ours: mapped is not compatible", u"::ffff:192.0.2.1", u"0:0:0:0:0:0:192.0.2.1", false},
        {"ours: two compressed forms", u"1::ffff:1.2.3.4", u"1:0::ffff:1.2.3.4", true},
        {"prefix before the tail", u"::ffff/96:192.0.2.1", u"::ffff/96:192.0.2.1", true},
        {"stripping before classifying", u" fe80::1%4 ", u"fe80::0:1%4", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.why) + ": \"" + U8(row.first) + "\" vs \"" + U8(row.second) +
                     "\"");
        EXPECT_EQ(CIPFormat::IsSameIPAddress(row.first, row.second), row.same);
        EXPECT_EQ(CIPFormat::IsSameIPAddress(row.second, row.first), row.same) << "not symmetric";
    }
}

TEST(IPCompare, PrivateComparersFollowTheirOwnContracts) {
    const Row v4[] = {
        {"by value", u"010.1.1.1", u"10.1.1.1", true},
        {"only the low 8 bits count", u"256.1.1.1", u"0.1.1.1", true},
        {"fewer than four fields", u"1.2.3", u"1.2.3", false},
        {"empty against a tail", u"", u"1.2.3.4", false},
        {"what follows the fourth field is ignored", u"1.2.3.4.99", u"1.2.3.4", true},
        {"white space and sign before digits", u" +1.2.3.4x", u"1.2.3.4", true},
        {"no digits give 0", u"a.b.c.d", u"0.0.0.0", true},
    };
    for (const Row& row : v4) {
        SCOPED_TRACE(std::string("IPv4 ") + row.why);
        EXPECT_EQ(P::IsSameIPV4Address(row.first, row.second), row.same);
    }
    const Row v6[] = {
        {"invalid text", u"fe80::1 ", u"fe80::1", false},
        {"no stripping here", u" fe80::1", u" fe80::1", false},
        {"valid and same", u"fe80::1/64%4", u"FE80::0:1/64%4", true},
    };
    for (const Row& row : v6) {
        SCOPED_TRACE(std::string("IPv6 ") + row.why);
        EXPECT_EQ(P::IsSameIPV6Address(row.first, row.second), row.same);
    }
    const Row parts[] = {
        {"aligned at group 7 without tail knowledge", u"::ffff", u"0:0:0:0:0:ffff", false},
        {"::ffff is the last group", u"::ffff", u"0:0:0:0:0:0:0:ffff", true},
        {"non-hex groups count as 0", u"zz::1", u"::1", true},
        {"\":\" is all zeros", u":", u"::", true},
    };
    for (const Row& row : parts) {
        SCOPED_TRACE(std::string("main part ") + row.why);
        EXPECT_EQ(P::IsIPV6MainPartSame(row.first, row.second), row.same);
    }
    const Row scopes[] = {
        {"stripped and equal", u" fe80::1%4 ", u"x%4", true},
        {"invalid scope reads as none", u"fe80::1%eth0", u"fe80::1", true},
        {"case-sensitive", u"a%a", u"a%A", false},
    };
    for (const Row& row : scopes) {
        SCOPED_TRACE(std::string("scope ") + row.why);
        EXPECT_EQ(P::IsIPV6ScopeIDSame(row.first, row.second), row.same);
    }
}

TEST(IPCompare, GroupExpansionFillsEightSlots) {
    struct Expansion {
        const char16_t* part;
        const char* groups[8];
    } rows[] = {
        {u"fe80::1", {"fe80", "0", "0", "0", "0", "0", "0", "1"}},
        {u"1:2:3:4:5:6:7:8", {"1", "2", "3", "4", "5", "6", "7", "8"}},
        {u"::", {"", "0", "0", "0", "0", "0", "0", ""}},
        {u"1::", {"1", "0", "0", "0", "0", "0", "0", ""}},
        {u"0:0:0:0:0:ffff", {"0", "0", "0", "0", "0", "ffff", "0", ""}},
        {u":", {"", "", "0", "0", "0", "0", "0", ""}},
        // Malformed input: pieces beyond eight are dropped, nothing is written outside the slots.
        {u"1:2:3:4:5:6:7:8:9:10", {"1", "2", "3", "4", "5", "6", "7", "8"}},
        {u"::1:2:3:4:5:6:7:8:9", {"2", "3", "4", "5", "6", "7", "8", "9"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(U8(row.part));
        CString groups[8];
        EXPECT_TRUE(P::GetSectionDataFromIPV6(row.part, groups));
        for (int i = 0; i < 8; ++i) EXPECT_EQ(U8(groups[i]), row.groups[i]) << "group " << i;
    }
}

}  // namespace
