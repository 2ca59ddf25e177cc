#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <tuple>
#include <utility>

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_format_peer.h"

namespace {

using P = CIPFormatPeer;

std::string U8(const CString& s) {
    return s.ToUtf8();
}

TEST(IPv6Validator, AcceptsTheDocumentedFormsAndNothingElse) {
    const std::tuple<const char*, const char16_t*, bool> rows[] = {
        {"\"::\" alone", u"::", true},
        {"eight groups of up to four digits, either case",
         u"ffff:FFFF:0000:abcd:1234:5678:9abc:def0", true},
        {"seven groups before \"::\"", u"1:2:3:4:5:6:7::", true},
        {"seven groups after \"::\"", u"::1:2:3:4:5:6:7", true},
        {"seven groups around \"::\"", u"1::2:3:4:5:6:7", true},
        {"eight groups before \"::\"", u"1:2:3:4:5:6:7:8::", false},
        {"eight groups after \"::\"", u"::1:2:3:4:5:6:7:8", false},
        {"eight groups around \"::\"", u"1::2:3:4:5:6:7:8", false},
        {"seven groups without \"::\"", u"1:2:3:4:5:6:7", false},
        {"nine groups", u"1:2:3:4:5:6:7:8:9", false},
        {"single colon at the end", u"1:2:3:4:5:6:7:", false},
        {"single colon at the start", u":1:2:3:4:5:6:7", false},
        {"single colon alone", u":", false},
        {"\"::\" twice (:::)", u"1:::2", false},
        {"\"::\" twice", u"1::2::3", false},
        {"group too long", u"12345::1", false},
        {"not hexadecimal", u"g::1", false},
        {"blank before", u" ::1", false},
        {"blank after", u"::1 ", false},
        {"empty text", u"", false},
        {"scope ID FFFFFFFF", u"fe80::1%ffffffff", true},
        {"scope ID with many leading zeros", u"fe80::1%00000000000000000000ffffffff", true},
        {"empty scope ID", u"fe80::1%", false},
        {"scope ID is a name", u"fe80::1%eth0", false},
        {"scope ID too large", u"fe80::1%100000000", false},
        {"scope ID 2^64 + 1 (1 if wrapped)", u"fe80::1%10000000000000001", false},
        {"second \"%\"", u"fe80::1%4%5", false},
        {"blank scope ID", u"fe80::1% ", false},
        {"prefix 0", u"fe80::1/0", true},
        {"prefix with a leading zero", u"fe80::1/064", true},
        {"prefix 128", u"fe80::1/128", true},
        {"prefix before \"%\"", u"fe80::1/64%4", true},
        {"prefix after eight groups", u"1:2:3:4:5:6:7:8/64", true},
        {"prefix above 128", u"fe80::1/129", false},
        {"prefix of four digits", u"fe80::1/0064", false},
        {"empty prefix", u"fe80::1/", false},
        {"prefix after \"%\"", u"fe80::1%4/64", false},
        {"two prefixes", u"fe80::1/6/4", false},
        {"prefix on a single-colon ending", u"1:2:3:4:5:6:7:/64", false},
        {"\"::\" right before the tail", u"::192.0.2.1", true},
        {"mapped tail", u"::ffff:192.0.2.1", true},
        {"IPv6 part \"::\" before the tail", u":::192.0.2.1", true},
        {"IPv6 part \"::\" with prefix before the tail", u"::/64:192.0.2.1", true},
        {"IPv6 part \":\" with prefix before the tail", u":/96:192.0.2.1", true},
        {"uncompressed IPv4-compatible prefix", u"0:0:0:0:0:0:192.0.2.1", true},
        {"uncompressed prefixes with leading zeros", u"0000:0:0:0:000:FFFF:192.0.2.1", true},
        {"groups, prefix, tail, scope ID", u"::ffff/96:192.0.2.1%4", true},
        {"leading zeros in octets", u"::ffff:01.02.03.004", true},
        {"other uncompressed groups before a tail", u"1:2:3:4:5:6:192.0.2.1", false},
        {"sixth group neither 0 nor ffff", u"0:0:0:0:0:1:192.0.2.1", false},
        {"ffff not in the sixth group", u"0:0:0:0:ffff:0:192.0.2.1", false},
        {"eight groups before a tail", u"0:0:0:0:0:0:0:0:192.0.2.1", false},
        {"five groups before a tail", u"0:0:0:0:ffff:192.0.2.1", false},
        {"\"::\" before the tail not at the start", u"1::192.0.2.1", false},
        {"tail of three octets", u"::ffff:192.0.2", false},
        {"tail octet above 255", u"::ffff:192.0.2.256", false},
        {"tail with an empty octet", u"::ffff:192..2.1", false},
        {"tail ending in a dot", u"::ffff:192.0.2.1.", false},
        {"tail of five octets", u"::ffff:1.192.0.2.1", false},
        {"prefix after the tail", u"::ffff:192.0.2.1/96", false},
        {"no IPv6 part", u"192.0.2.1", false},
        {"empty IPv6 part", u":192.0.2.1", false},
        {"ours: 5 groups after \"::\" before a tail", u"::1:2:3:4:5:192.0.2.1", true},
        {"ours: 5 groups around \"::\" before a tail", u"1::2:3:4:5:192.0.2.1", true},
        {"ours: 6 groups after \"::\" before a tail", u"::1:2:3:4:5:6:192.0.2.1", false},
        {"ours: 7 groups around \"::\" before a tail", u"1:2:3:4:5::6:7:192.0.2.1", false},
        {"compressed groups before a tail may be any value", u"1::ffff:192.0.2.1", true},
    };
    for (const auto& [rule, text, valid] : rows) {
        SCOPED_TRACE(std::string(rule) + ": \"" + U8(text) + "\"");
        EXPECT_EQ(CIPFormat::IsValidIPV6Address(text), valid);
    }
}

// The helpers' documented examples, and rows the whole-address table cannot reach: the character
// test in front of these helpers rejects the text first, or the host split never makes the piece.
TEST(IPv6Validator, PrefixScopeIdTailAndGroupHelpers) {
    const auto prefix = static_cast<bool (*)(CString)>(P::IsValidIPv6Prefix);
    const auto scope = P::IsValidScopeId, tail = P::GetIPv4ByteDataInIPv6HostInfo;
    const std::tuple<bool (*)(CString), const char16_t*, bool> rows[] = {
        {prefix, u"064", true},
        {prefix, u"0064", false},
        {prefix, u"-1", false},
        {prefix, u"1a", false},
        {scope, u"0", true},
        {tail, u"1.2.3.4.", false},
        {tail, u"1.2.3.", false},
        {P::GetShortData, u"aBcD", true},
        {P::GetShortData, u"12345", false}};
    for (const auto& [check, text, ok] : rows) EXPECT_EQ(check(text), ok) << U8(text);
    const std::pair<int, bool> ints[] = {
        {0, true}, {128, true}, {-1, false}, {129, false}, {INT_MIN, false}};
    for (const auto& [value, ok] : ints) EXPECT_EQ(P::IsValidIPv6Prefix(value), ok) << value;
}

TEST(IPv6Validator, HexTextToIntegerIsExactBelowTwoToThe63AndSaturatesAbove) {
    const std::pair<const char16_t*, int64_t> rows[] = {{u"ffff", 65535},
                                                        {u"FFFFFFFF", 4294967295LL},
                                                        {u"1g", 0},
                                                        {u"", 0},
                                                        {u"000000000000000000000001", 1},
                                                        {u"7ffffffffffffffe", INT64_MAX - 1},
                                                        {u"8000000000000000", INT64_MAX},
                                                        {u"ffffffffffffffffffffffff", INT64_MAX},
                                                        {u"ffffffffffffffffffffffffx", 0}};
    for (const auto& [text, value] : rows) EXPECT_EQ(P::HexCString2long(text), value) << U8(text);
}

TEST(IPv6Validator, SplittingHelpersLeaveOrEmptyTheirOutputsAsDocumented) {
    const auto octet = P::GetIPv4ByteData, host = P::GetIPDataInIPv6HostInfo;
    const auto compress = P::ParseCompressIPv6IPData, group = P::GetIPv6ShortData;
    const char16_t* kOld = u"old";
    using Split = bool (*)(CString, CString&, CString&);
    using C16 = const char16_t*;
    const std::tuple<const char*, Split, C16, bool, C16, C16> rows[] = {
        {"octet: first of four", octet, u"192.0.2.1", true, u"192", u"0.2.1"},
        {"octet: last one", octet, u"7", true, u"7", u""},
        {"octet: trailing dot", octet, u"7.", true, u"7", u""},
        {"octet: bad octet before a dot", octet, u"300.1", false, kOld, kOld},
        {"octet: bad octet without a dot empties", octet, u"300", false, u"", u""},
        {"octet: empty text", octet, u"", false, kOld, kOld},
        {"host: mapped tail", host, u"::ffff:192.0.2.1", true, u"::ffff", u"192.0.2.1"},
        {"host: \"::\" right before the tail", host, u"::192.0.2.1", true, u":", u"192.0.2.1"},
        {"host: prefix stays with the groups", host, u"::ffff/96:192.0.2.1", true, u"::ffff/96",
         u"192.0.2.1"},
        {"host: no tail", host, u"fe80::1", true, u"fe80::1", u""},
        {"host: invalid half empties", host, u"1:2:3:4:5:6:192.0.2.1", false, u"", u""},
        {"host: ends with a dot", host, u"::1.2.3.", false, kOld, kOld},
        {"host: too few dots", host, u"::1.2", false, kOld, kOld},
        {"host: no colon before the tail", host, u"1.2.3.4", false, kOld, kOld},
        {"host: empty first octet", host, u"::.1.2.3", false, kOld, kOld},
        {"compress: one \"::\"", compress, u"fe80::1", true, u"fe80", u"1"},
        {"compress: alone", compress, u"::", true, u"", u""},
        {"compress: none", compress, u"1:2", false, kOld, kOld},
        {"compress: \":::\" is two", compress, u"1:::2", false, kOld, kOld},
        {"compress: any text around it", compress, u"a.b::c/d", true, u"a.b", u"c/d"},
        {"host: a scope ID is no part of a host text", host, u"::1%4", false, u"", u""},
        {"host: cut before the third dot from the right", host, u"1.2:3.4.5.6", false, u"", u""},
        {"group: first of several", group, u"fe80:0:1", true, u"fe80", u"0:1"},
        {"group: the last", group, u"abcd", true, u"abcd", u""},
        {"group: bad text without colon empties", group, u"abcde", false, u"", u""},
        {"group: empty text empties", group, u"", false, u"", u""},
        {"group: bad group before a colon", group, u"xyz:1", false, kOld, kOld},
    };
    for (const auto& [rule, split, text, ok, expectedFirst, expectedSecond] : rows) {
        SCOPED_TRACE(std::string(rule) + ": \"" + U8(text) + "\"");
        CString first = kOld, second = kOld;
        EXPECT_EQ(split(text, first, second), ok);
        EXPECT_EQ(U8(first), U8(expectedFirst));
        EXPECT_EQ(U8(second), U8(expectedSecond));
    }
}

TEST(IPv6Validator, GroupListLayersCountGroupsAndConsumeTheirArgument) {
    // Text, accepted, what IsAfter/IsFront leave in their argument (a bad piece stops the walk).
    const std::tuple<const char16_t*, bool, const char16_t*> lists[] = {
        {u"1:2:3:4:5:6:7", true, u"7"},
        {u"1:2:3:4:5:6:7:8", false, u"8"},
        {u"1:zz:3", false, u"zz:3"},
        {u"1::3", false, u":3"}};
    for (const auto& [text, ok, left] : lists) {
        CString after = text, front = text;
        EXPECT_EQ(P::IsAfterCompressIPv6IPData(after), ok) << U8(text);
        EXPECT_EQ(P::IsFrontCompressIPv6IPData(front), ok) << U8(text);
        EXPECT_EQ(U8(after), U8(left));
        EXPECT_EQ(U8(front), U8(left));
    }
    // The uncompressed layer on its own: it stops as soon as six embedded-kind groups are taken
    // before a tail, so one final colon may follow them; without a tail, eight groups exactly.
    const std::tuple<const char16_t*, bool, bool> uncompressed[] = {
        {u"0:0:0:0:0:ffff:", true, false},   {u"0:0:0:0:0:1:", false, false},
        {u"0:0:0:0:0:0::", false, false},    {u"1:2:3:4:5:6:7:8:", false, false},
        {u"1:2:3:4:5:6:7:8x", false, false}, {u"::", false, false},
    };
    for (const auto& [text, withTail, withoutTail] : uncompressed) {
        EXPECT_EQ(P::IsUnCompressIPv6IPData(text, true), withTail) << U8(text);
        EXPECT_EQ(P::IsUnCompressIPv6IPData(text, false), withoutTail) << U8(text);
    }
    // The pair check is no layer of the public validator: only this table guards it.
    const std::tuple<const char16_t*, const char16_t*, bool> pairs[] = {
        {u"1:2:3", u"4:5:6:7", true},
        {u"1:2:3:4", u"5:6:7:8", false},
        {u"", u"1", false},
        {u"1", u"x", false}};
    for (const auto& [front, back, ok] : pairs)
        EXPECT_EQ(P::IsCompressIPv6IPData(front, back), ok) << U8(front) << "|" << U8(back);
    const auto embedded = [](StringList g) {
        return P::IsIPv6AddressesWithEmbeddedIPv4Addresses(g);
    };
    EXPECT_TRUE(embedded({u"0", u"00", u"0", u"0", u"0", u"FFFF"}));
    EXPECT_FALSE(embedded({u"0", u"0", u"0", u"0", u"0"}));
    EXPECT_FALSE(embedded({u"0", u"0", u"0", u"0", u"", u"0"}));
}

TEST(IPv6Validator, PreCheckStripsThePrefixAndRejectsASingleFinalColon) {
    // Text, accepted, the part without prefix ("old", untouched, when rejected).
    const std::tuple<const char16_t*, bool, const char16_t*> rows[] = {
        {u"fe80::1/64", true, u"fe80::1"},
        {u"1::", true, u"1::"},
        {u":", true, u":"},
        {u"1:2:", false, u"old"},
        {u"fe80::1/129", false, u"old"},
        {u"::1.2", false, u"old"},
        {u"::1%4", false, u"old"},
    };
    for (const auto& [text, ok, expected] : rows) {
        for (bool flag : {false, true}) {  // the flag must not change anything
            CString bare = u"old";
            EXPECT_EQ(P::PreCheckIPv6IPData(text, flag, bare), ok) << U8(text);
            EXPECT_EQ(U8(bare), U8(expected));
        }
    }
}

}  // namespace
