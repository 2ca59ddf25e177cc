#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <utility>

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_format_peer.h"

namespace {

using P = CIPFormatPeer;

std::string U8(const CString& s) {
    return s.ToUtf8();
}

TEST(IPCompare, SameAddressRules) {
    const std::tuple<const char*, const char16_t*, const char16_t*, bool> rows[] = {
        {"both empty after stripping", u"", u"  \t", true},
        {"empty against text", u"", u"printer", false},
        {"stripping before classifying", u" fe80::1%4 ", u"fe80::0:1%4", true},
        {"octets compared by value", u"010.1.1.1", u"10.1.1.1", true},
        {"last octet differs", u"192.0.2.1", u"192.0.2.2", false},
        {"IPv4 against IPv6", u"192.0.2.1", u"::ffff:192.0.2.1", false},
        {"reserved IPv4 still compares", u"255.255.255.255", u"255.255.255.0255", true},
        {"host names are case-sensitive", u"printer", u"Printer", false},
        {"hex, case, leading zeros, \"::\" expanded", u"fe80::1", u"FE80:0:0:0:0:0:0:0001", true},
        {"leading \"::\"", u"::1", u"0:0:0:0:0:0:0:1", true},
        {"trailing \"::\"", u"1::", u"1:0:0:0:0:0:0:0", true},
        {"\"::\" in the middle", u"1:2::7:8", u"1:2:0:0:0:0:7:8", true},
        {"different groups", u"1:2::7:8", u"1:2::8:7", false},
        {"prefix 64 against 0", u"fe80::1/64", u"fe80::1", false},
        {"missing prefix counts as 0", u"fe80::1/0", u"fe80::1", true},
        {"prefix with a leading zero", u"fe80::1/064", u"fe80::1/64", true},
        {"scope on one side only", u"fe80::1%4", u"fe80::1", false},
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
    };
    for (const auto& [why, first, second, same] : rows) {
        SCOPED_TRACE(std::string(why) + ": \"" + U8(first) + "\" vs \"" + U8(second) + "\"");
        EXPECT_EQ(CIPFormat::IsSameIPAddress(first, second), same);
        EXPECT_EQ(CIPFormat::IsSameIPAddress(second, first), same) << "not symmetric";
    }
}

TEST(IPCompare, PrivateComparersFollowTheirOwnContracts) {
    const auto v4 = P::IsSameIPV4Address, v6 = P::IsSameIPV6Address;
    const auto part = P::IsIPV6MainPartSame, scope = P::IsIPV6ScopeIDSame;
    using Same = bool (*)(CString, CString);
    const std::tuple<const char*, Same, const char16_t*, const char16_t*, bool> rows[] = {
        {"IPv4: only the low 8 bits count", v4, u"256.1.1.1", u"0.1.1.1", true},
        {"IPv4: fewer than four fields", v4, u"1.2.3", u"1.2.3", false},
        {"IPv4: what follows the fourth field is ignored", v4, u"1.2.3.4.99", u"1.2.3.4", true},
        {"IPv4: white space and sign before digits", v4, u" +1.2.3.4x", u"1.2.3.4", true},
        {"IPv4: no digits give 0", v4, u"a.b.c.d", u"0.0.0.0", true},
        {"IPv6: invalid text", v6, u"fe80::1 ", u"fe80::1", false},
        {"IPv6: no stripping here", v6, u" fe80::1", u" fe80::1", false},
        {"part: aligned at group 7 without tail knowledge", part, u"::ffff", u"0:0:0:0:0:ffff",
         false},
        {"part: ::ffff is the last group", part, u"::ffff", u"0:0:0:0:0:0:0:ffff", true},
        {"part: non-hex groups count as 0", part, u"zz::1", u"::1", true},
        {"scope: stripped and equal", scope, u" fe80::1%4 ", u"x%4", true},
        {"scope: invalid scope reads as none", scope, u"fe80::1%eth0", u"fe80::1", true},
        {"scope: case-sensitive", scope, u"a%a", u"a%A", false},
    };
    for (const auto& [why, same, first, second, expected] : rows)
        EXPECT_EQ(same(first, second), expected) << why;
}

TEST(IPCompare, GroupExpansionFillsEightSlots) {
    const std::pair<const char16_t*, std::array<const char*, 8>> rows[] = {
        {u"fe80::1", {"fe80", "0", "0", "0", "0", "0", "0", "1"}},
        {u"1:2:3:4:5:6:7:8", {"1", "2", "3", "4", "5", "6", "7", "8"}},
        {u"::", {"", "0", "0", "0", "0", "0", "0", ""}},
        {u"0:0:0:0:0:ffff", {"0", "0", "0", "0", "0", "ffff", "0", ""}},
        {u":", {"", "", "0", "0", "0", "0", "0", ""}},
        // Malformed input: pieces beyond eight are dropped, nothing is written outside the slots.
        {u"1:2:3:4:5:6:7:8:9:10", {"1", "2", "3", "4", "5", "6", "7", "8"}},
        {u"::1:2:3:4:5:6:7:8:9", {"2", "3", "4", "5", "6", "7", "8", "9"}},
    };
    for (const auto& [part, expected] : rows) {
        CString groups[8];
        EXPECT_TRUE(P::GetSectionDataFromIPV6(part, groups));
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(U8(groups[i]), expected[i]) << U8(part) << ", group " << i;
    }
}

}  // namespace
