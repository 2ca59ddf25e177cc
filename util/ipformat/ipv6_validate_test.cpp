#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_format_peer.h"

namespace {

using P = CIPFormatPeer;

std::string U8(const CString& s) {
    return s.ToUtf8();
}

struct Case {
    const char* rule;
    std::vector<const char16_t*> texts;
    bool valid;
};

TEST(IPv6Validator, AcceptsTheDocumentedFormsAndNothingElse) {
    const Case cases[] = {
        {"\"::\" alone", {u"::"}, true},
        {"one \"::\"", {u"::1", u"1::", u"fe80::1", u"2001:db8::1"}, true},
        {"either letter case", {u"FE80::ABCD"}, true},
        {"eight groups", {u"1:2:3:4:5:6:7:8"}, true},
        {"four-digit groups", {u"ffff:FFFF:0000:abcd:1234:5678:9abc:def0"}, true},
        {"seven groups beside \"::\"",
         {u"1:2:3:4:5:6:7::", u"::1:2:3:4:5:6:7", u"1::2:3:4:5:6:7"},
         true},
        {"seven groups without \"::\"", {u"1:2:3:4:5:6:7"}, false},
        {"nine groups", {u"1:2:3:4:5:6:7:8:9"}, false},
        {"eight groups beside \"::\"",
         {u"1:2:3:4:5:6:7:8::", u"::1:2:3:4:5:6:7:8", u"1::2:3:4:5:6:7:8"},
         false},
        {"single colon at the end", {u"1:2:3:4:5:6:7:"}, false},
        {"single colon at the start", {u":1:2:3:4:5:6:7"}, false},
        {"single colon alone", {u":"}, false},
        {"\"::\" twice (:::)", {u"1:::2"}, false},
        {"\"::\" twice", {u"1::2::3"}, false},
        {"\":::\" alone", {u":::"}, false},
        {"group too long", {u"12345::1"}, false},
        {"not hexadecimal", {u"g::1"}, false},
        {"blank before", {u" ::1"}, false},
        {"blank after", {u"::1 "}, false},
        {"empty text", {u""}, false},
        {"scope ID within FFFFFFFF", {u"fe80::1%4", u"fe80::1%10", u"fe80::1%ffffffff"}, true},
        {"scope ID with leading zeros", {u"fe80::1%000000001"}, true},
        {"scope ID with many leading zeros", {u"fe80::1%00000000000000000000ffffffff"}, true},
        {"empty scope ID", {u"fe80::1%"}, false},
        {"scope ID is a name", {u"fe80::1%eth0"}, false},
        {"scope ID too large", {u"fe80::1%100000000"}, false},
        {"scope ID far too large", {u"fe80::1%ffffffffffffffffffff"}, false},
        {"second \"%\"", {u"fe80::1%4%5"}, false},
        {"blank scope ID", {u"fe80::1% "}, false},
        {"prefix 0 to 128", {u"fe80::1/64", u"fe80::1/0"}, true},
        {"prefix with a leading zero", {u"fe80::1/064"}, true},
        {"prefix 128", {u"fe80::1/128"}, true},
        {"prefix before \"%\"", {u"fe80::1/64%4"}, true},
        {"prefix after eight groups", {u"1:2:3:4:5:6:7:8/64"}, true},
        {"prefix above 128", {u"fe80::1/129"}, false},
        {"prefix of four digits", {u"fe80::1/0064"}, false},
        {"empty prefix", {u"fe80::1/"}, false},
        {"prefix after \"%\"", {u"fe80::1%4/64"}, false},
        {"prefix with a sign", {u"fe80::1/+6"}, false},
        {"two prefixes", {u"fe80::1/6/4"}, false},
        {"prefix on a single-colon ending", {u"1:2:3:4:5:6:7:/64"}, false},
        {"embedded IPv4",
         {u"::192.0.2.1", u"::ffff:192.0.2.1", u"::FFFF:192.0.2.1", u"::0:192.0.2.1"},
         true},
        {"IPv6 part \"::\" before the tail", {u":::192.0.2.1"}, true},
        {"IPv6 part \"::\" with prefix before the tail", {u"::/64:192.0.2.1"}, true},
        {"IPv6 part \":\" with prefix before the tail", {u":/96:192.0.2.1"}, true},
        {"uncompressed IPv4-compatible prefix", {u"0:0:0:0:0:0:192.0.2.1"}, true},
        {"uncompressed IPv4-mapped prefix", {u"0:0:0:0:0:ffff:192.0.2.1"}, true},
        {"uncompressed prefixes with leading zeros", {u"0000:0:0:0:000:FFFF:192.0.2.1"}, true},
        {"prefix before the tail", {u"::ffff/96:192.0.2.1"}, true},
        {"scope after the tail", {u"::ffff:192.0.2.1%4"}, true},
        {"leading zeros in octets", {u"::ffff:01.02.03.004"}, true},
        {"other uncompressed groups before a tail", {u"1:2:3:4:5:6:192.0.2.1"}, false},
        {"sixth group neither 0 nor ffff", {u"0:0:0:0:0:1:192.0.2.1"}, false},
        {"ffff not in the sixth group", {u"0:0:0:0:ffff:0:192.0.2.1"}, false},
        {"eight groups before a tail", {u"0:0:0:0:0:0:0:0:192.0.2.1"}, false},
        {"five groups before a tail", {u"0:0:0:0:ffff:192.0.2.1"}, false},
        {"\"::\" before the tail not at the start",
         {u"1::192.0.2.1", u"fe80::192.0.2.1", u"64:ff9b::192.0.2.1"},
         false},
        {"tail of three octets", {u"::ffff:192.0.2"}, false},
        {"tail octet above 255", {u"::ffff:192.0.2.256"}, false},
        {"tail with an empty octet", {u"::ffff:192..2.1"}, false},
        {"tail ending in a dot", {u"::ffff:192.0.2.1."}, false},
        {"tail of five octets", {u"::ffff:1.192.0.2.1"}, false},
        {"prefix after the tail", {u"::ffff:192.0.2.1/96"}, false},
        {"no IPv6 part", {u"192.0.2.1", u":192.0.2.1"}, false},
        {"ours: at most 5 groups beside \"::\" before a tail",
         {u"::1:2:3:4:5:192.0.2.1", u"1::2:3:4:5:192.0.2.1"},
         true},
        {"ours: at most 5 groups beside \"::\" before a tail",
         {u"::1:2:3:4:5:6:192.0.2.1", u"::1:2:3:4:5:6:7:192.0.2.1", u"1:2:3:4:5::6:7:192.0.2.1"},
         false},
        {"compressed groups before a tail are not restricted in value",
         {u"1::ffff:192.0.2.1"},
         true},
    };
    for (const Case& c : cases) {
        for (const char16_t* text : c.texts) {
            SCOPED_TRACE(std::string(c.rule) + ": \"" + U8(text) + "\"");
            EXPECT_EQ(CIPFormat::IsValidIPV6Address(text), c.valid);
            EXPECT_EQ(P::IsIPv6HostInfo(text), c.valid);
        }
    }
}

TEST(IPv6Validator, PrefixScopeIdAndTailPiecesFollowTheirOwnRules) {
    struct Row {
        const char* what;
        bool (*check)(CString);
        const char16_t* text;
        bool ok;
    } rows[] = {
        {"prefix", P::IsValidIPv6Prefix, u"0", true},
        {"prefix", P::IsValidIPv6Prefix, u"7", true},
        {"prefix", P::IsValidIPv6Prefix, u"128", true},
        {"prefix", P::IsValidIPv6Prefix, u"064", true},
        {"prefix", P::IsValidIPv6Prefix, u"", false},
        {"prefix", P::IsValidIPv6Prefix, u"129", false},
        {"prefix", P::IsValidIPv6Prefix, u"0064", false},
        {"prefix", P::IsValidIPv6Prefix, u"-1", false},
        {"prefix", P::IsValidIPv6Prefix, u"1a", false},
        {"scope", P::IsValidScopeId, u"0", true},
        {"scope", P::IsValidScopeId, u"4", true},
        {"scope", P::IsValidScopeId, u"1a", true},
        {"scope", P::IsValidScopeId, u"ffffffff", true},
        {"scope", P::IsValidScopeId, u"FFFFFFFF", true},
        {"scope", P::IsValidScopeId, u"000000001", true},
        {"scope", P::IsValidScopeId, u"", false},
        {"scope", P::IsValidScopeId, u" ", false},
        {"scope", P::IsValidScopeId, u"eth0", false},
        {"scope", P::IsValidScopeId, u"100000000", false},
        {"scope", P::IsValidScopeId, u"8000000000000000", false},
        {"scope", P::IsValidScopeId, u"ffffffffffffffffffffffff", false},
        {"tail", P::GetIPv4ByteDataInIPv6HostInfo, u"192.0.2.1", true},
        {"tail", P::GetIPv4ByteDataInIPv6HostInfo, u"01.2.3.4", true},
        {"tail", P::GetIPv4ByteDataInIPv6HostInfo, u"1.2.3", false},
        {"tail", P::GetIPv4ByteDataInIPv6HostInfo, u"1.2.3.", false},
        {"tail", P::GetIPv4ByteDataInIPv6HostInfo, u"1.2.3.4.5", false},
        {"tail", P::GetIPv4ByteDataInIPv6HostInfo, u"1.2.3.4/96", false},
        {"tail", P::GetIPv4ByteDataInIPv6HostInfo, u"1.2.3.4.", false},
        {"group", P::GetShortData, u"0", true},
        {"group", P::GetShortData, u"aBcD", true},
        {"group", P::GetShortData, u"", false},
        {"group", P::GetShortData, u"12345", false},
        {"group", P::GetShortData, u"12g", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.what) + ": \"" + U8(row.text) + "\"");
        EXPECT_EQ(row.check(row.text), row.ok);
    }
    struct IntRow {
        int prefix;
        bool ok;
    } ints[] = {{0, true}, {128, true}, {-1, false}, {129, false}, {INT_MIN, false}};
    for (const IntRow& row : ints)
        EXPECT_EQ(P::IsValidIPv6Prefix(row.prefix), row.ok) << row.prefix;
}

TEST(IPv6Validator, HexTextToIntegerIsExactBelowTwoToThe63AndSaturatesAbove) {
    struct Row {
        const char16_t* text;
        int64_t value;
    } rows[] = {
        {u"ffff", 65535},
        {u"FFFFFFFF", 4294967295LL},
        {u"10", 16},
        {u"1g", 0},
        {u"g1", 0},
        {u"", 0},
        {u"000000000000000000000001", 1},
        {u"123456789abcdef", 0x123456789abcdefLL},
        {u"7fffffffffffffff", INT64_MAX},
        {u"7ffffffffffffffe", INT64_MAX - 1},
        {u"8000000000000000", INT64_MAX},
        {u"ffffffffffffffffffffffff", INT64_MAX},
        {u"ffffffffffffffffffffffffx", 0},
    };
    for (const Row& row : rows) EXPECT_EQ(P::HexCString2long(row.text), row.value) << U8(row.text);
}

TEST(IPv6Validator, SplittingHelpersLeaveOrEmptyTheirOutputsAsDocumented) {
    const CString kOld = u"old";
    struct Row {
        const char* rule;
        bool (*split)(CString, CString&, CString&);
        const char16_t* text;
        bool ok;
        const char16_t* first;
        const char16_t* second;
    } rows[] = {
        {"host: mapped tail", P::GetIPDataInIPv6HostInfo, u"::ffff:192.0.2.1", true, u"::ffff",
         u"192.0.2.1"},
        {"host: \"::\" right before the tail", P::GetIPDataInIPv6HostInfo, u"::192.0.2.1", true,
         u":", u"192.0.2.1"},
        {"host: prefix stays with the groups", P::GetIPDataInIPv6HostInfo, u"::ffff/96:192.0.2.1",
         true, u"::ffff/96", u"192.0.2.1"},
        {"host: no tail", P::GetIPDataInIPv6HostInfo, u"fe80::1", true, u"fe80::1", u""},
        {"host: invalid half empties", P::GetIPDataInIPv6HostInfo, u"1:2:3:4:5:6:192.0.2.1", false,
         u"", u""},
        {"host: invalid groups without tail empty", P::GetIPDataInIPv6HostInfo, u"1:2", false, u"",
         u""},
        {"host: ends with a dot, unchanged", P::GetIPDataInIPv6HostInfo, u"::1.2.3.", false, u"old",
         u"old"},
        {"host: too few dots, unchanged", P::GetIPDataInIPv6HostInfo, u"::1.2", false, u"old",
         u"old"},
        {"host: no colon before the tail, unchanged", P::GetIPDataInIPv6HostInfo, u"1.2.3.4", false,
         u"old", u"old"},
        {"host: empty first octet, unchanged", P::GetIPDataInIPv6HostInfo, u"::.1.2.3", false,
         u"old", u"old"},
        {"compress: one \"::\"", P::ParseCompressIPv6IPData, u"fe80::1", true, u"fe80", u"1"},
        {"compress: alone", P::ParseCompressIPv6IPData, u"::", true, u"", u""},
        {"compress: at the end", P::ParseCompressIPv6IPData, u"1::", true, u"1", u""},
        {"compress: none", P::ParseCompressIPv6IPData, u"1:2", false, u"old", u"old"},
        {"compress: \":::\" is two", P::ParseCompressIPv6IPData, u"1:::2", false, u"old", u"old"},
        {"group: first of several", P::GetIPv6ShortData, u"fe80:0:1", true, u"fe80", u"0:1"},
        {"group: the last", P::GetIPv6ShortData, u"abcd", true, u"abcd", u""},
        {"group: bad text without colon empties", P::GetIPv6ShortData, u"abcde", false, u"", u""},
        {"group: empty text empties", P::GetIPv6ShortData, u"", false, u"", u""},
        {"group: bad group before colon, unchanged", P::GetIPv6ShortData, u"xyz:1", false, u"old",
         u"old"},
        {"group: empty group before colon, unchanged", P::GetIPv6ShortData, u":1", false, u"old",
         u"old"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.rule) + ": \"" + U8(row.text) + "\"");
        CString first = kOld, second = kOld;
        EXPECT_EQ(row.split(row.text, first, second), row.ok);
        EXPECT_EQ(U8(first), U8(row.first));
        EXPECT_EQ(U8(second), U8(row.second));
    }
}

TEST(IPv6Validator, GroupListLayersCountGroupsAndConsumeTheirArgument) {
    struct Row {
        const char* rule;
        const char16_t* text;
        bool ok;
        const char16_t* left;  // what IsAfter/IsFront leave in their argument
    } lists[] = {
        {"one group", u"1", true, u"1"},
        {"seven groups", u"1:2:3:4:5:6:7", true, u"7"},
        {"eight groups", u"1:2:3:4:5:6:7:8", false, u"8"},
        {"bad piece stops the walk", u"1:zz:3", false, u"zz:3"},
        {"empty piece", u"1::3", false, u":3"},
    };
    for (const Row& row : lists) {
        SCOPED_TRACE(std::string(row.rule) + ": \"" + U8(row.text) + "\"");
        CString after = row.text, front = row.text;
        EXPECT_EQ(P::IsAfterCompressIPv6IPData(after), row.ok);
        EXPECT_EQ(P::IsFrontCompressIPv6IPData(front), row.ok);
        EXPECT_EQ(U8(after), U8(row.left));
        EXPECT_EQ(U8(front), U8(row.left));
    }

    struct Pair {
        const char16_t* front;
        const char16_t* back;
        bool ok;
    } pairs[] = {{u"1", u"2", true},
                 {u"1:2:3", u"4:5:6:7", true},
                 {u"1:2:3:4", u"5:6:7:8", false},
                 {u"", u"1", false},
                 {u"1", u"x", false}};
    for (const Pair& p : pairs)
        EXPECT_EQ(P::IsCompressIPv6IPData(p.front, p.back), p.ok)
            << U8(p.front) << "|" << U8(p.back);

    struct Uncompressed {
        const char16_t* text;
        bool tail;
        bool ok;
    } uncompressed[] = {
        {u"1:2:3:4:5:6:7:8", false, true},
        {u"1:2:3:4:5:6:7:8", true, false},
        {u"1:2:3:4:5:6:7", false, false},
        {u"0:0:0:0:0:ffff", true, true},
        {u"0:0:0:0:0:0", true, true},
        {u"0:0:0:0:0:ffff", false, false},
        {u":", true, true},
        {u":", false, false},
        {u"1:2:3:4:5:6:7:8:9", false, false},
    };
    for (const Uncompressed& u : uncompressed)
        EXPECT_EQ(P::IsUnCompressIPv6IPData(u.text, u.tail), u.ok) << U8(u.text) << " " << u.tail;

    EXPECT_TRUE(P::IsIPv6AddressesWithEmbeddedIPv4Addresses({u"0", u"0", u"0", u"0", u"0", u"0"}));
    EXPECT_TRUE(
        P::IsIPv6AddressesWithEmbeddedIPv4Addresses({u"0", u"00", u"0", u"0", u"0", u"FFFF"}));
    EXPECT_FALSE(P::IsIPv6AddressesWithEmbeddedIPv4Addresses({u"0", u"0", u"0", u"0", u"0"}));
    EXPECT_FALSE(
        P::IsIPv6AddressesWithEmbeddedIPv4Addresses({u"ffff", u"0", u"0", u"0", u"0", u"0"}));
    EXPECT_FALSE(
        P::IsIPv6AddressesWithEmbeddedIPv4Addresses({u"0", u"0", u"0", u"0", u"0", u"fffe"}));
    EXPECT_FALSE(P::IsIPv6AddressesWithEmbeddedIPv4Addresses({u"0", u"0", u"0", u"0", u"", u"0"}));
}

TEST(IPv6Validator, PreCheckStripsThePrefixAndRejectsASingleFinalColon) {
    struct Row {
        const char16_t* text;
        bool ok;
        const char16_t* bare;
    } rows[] = {
        {u"fe80::1/64", true, u"fe80::1"},
        {u"1::", true, u"1::"},
        {u":", true, u":"},
        {u"::/0", true, u"::"},
        {u"1:2:", false, nullptr},
        {u"fe80::1/129", false, nullptr},
        {u"::1.2", false, nullptr},
        {u"::1%4", false, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(U8(row.text));
        for (bool flag : {false, true}) {  // the flag must not change anything
            CString bare;
            EXPECT_EQ(P::PreCheckIPv6IPData(row.text, flag, bare), row.ok);
            if (row.ok) {
                EXPECT_EQ(U8(bare), U8(row.bare));
            }
        }
    }
}

TEST(IPv6Validator, TheTailFlagChangesOnlyWhatMayStandBeforeATail) {
    struct Row {
        const char16_t* part;
        bool withTail;
        bool withoutTail;
    } rows[] = {
        {u"fe80::1/64", true, true},
        {u"::ffff", true, true},
        {u"0:0:0:0:0:ffff", true, false},
        {u"1:2:3:4:5:6:7:8", false, true},
        {u":", true, false},
        {u"::", true, true},
        {u"::1:2:3:4:5", true, true},
        {u"::1:2:3:4:5:6", false, true},
        {u"1:2:3::4:5:6", false, true},
        {u"1:2", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(U8(row.part));
        EXPECT_EQ(P::GetIPv6IPData(row.part, true), row.withTail);
        EXPECT_EQ(P::GetIPv6IPData(row.part, false), row.withoutTail);
    }
}

}  // namespace
