// CIPFormat's validators and comparison through the public interface, one table per rule
// family; private helpers only where their header documents outputs (left unchanged, emptied or
// consumed on rejection) that no public result shows. That the classifier and the decomposition
// agree with the validators and with inet_pton on any text is the fuzz target's job.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_format_peer.h"

namespace {

using P = CIPFormatPeer;
using C16 = const char16_t*;

std::string U8(const CString& s) {
    return s.ToUtf8();
}

static_assert(std::has_virtual_destructor<CIPFormat>::value, "deleted through base pointers");

TEST(IPv4Validators, FourDecimalOctetsAndNoLoopbackOrMulticastWhenValid) {
    const std::tuple<const char*, C16, bool, bool> rows[] = {
        {"plain address", u"192.168.0.1", true, true},
        {"no address is special to the grammar", u"0.0.0.0", true, true},
        {"first octet 255 is reserved", u"255.255.255.255", true, false},
        {"first octet 127 is loopback", u"127.0.0.1", true, false},
        {"just below loopback, later octets 255", u"126.255.255.255", true, true},
        {"last unicast first octet", u"223.1.2.3", true, true},
        {"first octet 224 is multicast", u"224.0.0.1", true, false},
        {"leading zeros are decimal", u"010.001.000.255", true, true},
        {"any number of leading zeros", u"0000001.2.3.4", true, true},
        {"octet above 255", u"1.2.3.256", false, false},
        {"long digit run above 255", u"1.2.3.99999999999999999999", false, false},
        {"three parts", u"1.2.3", false, false},
        {"five parts", u"1.2.3.4.5", false, false},
        {"empty last part", u"1.2.3.", false, false},
        {"blank before", u" 1.2.3.4", false, false},
        {"blank after", u"1.2.3.4 ", false, false},
        {"empty text", u"", false, false},
        {"digits of another script do not count", u"\u0661.2.3.4", false, false},
    };
    for (const auto& [rule, text, isIPv4, isValidIPv4] : rows) {
        SCOPED_TRACE(std::string(rule) + ": \"" + U8(text) + "\"");
        EXPECT_EQ(CIPFormat::IsIPV4Address(text), isIPv4);
        EXPECT_EQ(CIPFormat::IsValidIPV4Address(text), isValidIPv4);
    }
}

TEST(IPv6Validator, AcceptsTheDocumentedFormsAndNothingElse) {
    const std::tuple<const char*, C16, bool> rows[] = {
        {"\"::\" alone", u"::", true},
        {"eight groups, either case", u"ffff:FFFF:0000:abcd:1234:5678:9abc:def0", true},
        {"seven groups before \"::\"", u"1:2:3:4:5:6:7::", true},
        {"seven groups after \"::\"", u"::1:2:3:4:5:6:7", true},
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
        {"blank after", u"::1 ", false},
        {"empty text", u"", false},
        {"scope ID FFFFFFFF", u"fe80::1%ffffffff", true},
        {"scope ID with many leading zeros", u"fe80::1%00000000000000000000ffffffff", true},
        {"empty scope ID", u"fe80::1%", false},
        {"scope ID is a name", u"fe80::1%eth0", false},
        {"scope ID too large", u"fe80::1%100000000", false},
        {"scope ID 2^64 + 1 (1 if wrapped)", u"fe80::1%10000000000000001", false},
        {"prefix 128", u"fe80::1/128", true},
        {"prefix before \"%\"", u"fe80::1/64%4", true},
        {"prefix after eight groups", u"1:2:3:4:5:6:7:8/64", true},
        {"prefix above 128", u"fe80::1/129", false},
        {"prefix of four digits", u"fe80::1/0064", false},
        {"empty prefix", u"fe80::1/", false},
        {"two prefixes", u"fe80::1/6/4", false},
        {"IPv6 part \":\" with prefix before the tail", u":/96:192.0.2.1", true},
        {"uncompressed prefixes with leading zeros", u"0000:0:0:0:000:FFFF:192.0.2.1", true},
        {"groups, prefix, tail, scope ID", u"::ffff/96:192.0.2.1%4", true},
        {"other uncompressed groups before a tail", u"1:2:3:4:5:6:192.0.2.1", false},
        {"sixth group neither 0 nor ffff", u"0:0:0:0:0:1:192.0.2.1", false},
        {"ffff not in the sixth group", u"0:0:0:0:ffff:0:192.0.2.1", false},
        {"eight groups before a tail", u"0:0:0:0:0:0:0:0:192.0.2.1", false},
        {"five groups before a tail", u"0:0:0:0:ffff:192.0.2.1", false},
        {"\"::\" before the tail not at the start", u"1::192.0.2.1", false},
        {"tail of three octets", u"::ffff:192.0.2", false},
        {"no IPv6 part", u"192.0.2.1", false},
        {"empty IPv6 part", u":192.0.2.1", false},
        {"ours: 5 groups around \"::\" before a tail", u"1::2:3:4:5:192.0.2.1", true},
        {"ours: 6 groups after \"::\" before a tail", u"::1:2:3:4:5:6:192.0.2.1", false},
    };
    for (const auto& [rule, text, valid] : rows) {
        SCOPED_TRACE(std::string(rule) + ": \"" + U8(text) + "\"");
        EXPECT_EQ(CIPFormat::IsValidIPV6Address(text), valid);
    }
}

TEST(IPCompare, SameAddressRules) {
    const std::tuple<const char*, C16, C16, bool> rows[] = {
        {"both empty after stripping", u"", u"  \t", true},
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

// The decomposition behind the command-line program's `ip cut` and `ip bond`: four outputs,
// all emptied for an invalid text; a prefix cut out or joined back in before tail and scope ID.
// The commands' own tests pin the cut of a text with all four parts and the bond before a tail
// without scope ID, so those rows are not repeated here.
TEST(IPv6Parts, CutAndBondThePrefixTailAndScopeId) {
    using Parts = std::tuple<std::string, std::string, int, std::string>;
    const std::tuple<C16, bool, Parts> cuts[] = {
        {u"fe80::1/64%4", true, {"fe80::1", "", 64, "4"}},
        {u"::192.0.2.1", true, {":", "192.0.2.1", 0, ""}},
        {u"1:2:3:4:5:6:7:8/064", true, {"1:2:3:4:5:6:7:8", "", 64, ""}},
        {u"fe80::1%eth0", false, {"", "", 0, ""}},
    };
    for (const auto& [text, ok, expected] : cuts) {
        CString v6 = u"junk", v4 = u"junk", scope = u"junk";
        int prefix = -7;
        EXPECT_EQ(P::CutIPV6IntoIPV6IPV4PrefixScopeID(text, v6, v4, prefix, scope), ok) << U8(text);
        EXPECT_EQ(Parts(U8(v6), U8(v4), prefix, U8(scope)), expected) << U8(text);
    }
    // Cutting the prefix alone closes up the text; false leaves it and gives prefix 0.
    const std::tuple<C16, bool, C16, int> prefixCuts[] = {
        {u"fe80::1/64%4", true, u"fe80::1%4", 64},
        {u"::ffff/96:192.0.2.1", true, u"::ffff:192.0.2.1", 96},
        {u"fe80::1", false, u"fe80::1", 0},
        {u"fe80::1/129", false, u"fe80::1/129", 0},
    };
    for (const auto& [before, ok, after, expectedPrefix] : prefixCuts) {
        CString text = before;
        int prefix = 99;
        const bool cut = P::CutIPV6IntoAddressAndPrefix(text, prefix);
        EXPECT_EQ(std::tuple(cut, U8(text), prefix), std::tuple(ok, U8(after), expectedPrefix))
            << U8(before);
    }
    const std::tuple<const char*, C16, int, bool, C16> bonds[] = {
        {"groups only", u"fe80::1", 64, true, u"fe80::1/64"},
        {"with scope, prefix 128", u"fe80::1%4", 128, true, u"fe80::1/128%4"},
        {"tail, unvalidated scope", u"::ffff:192.0.2.1%eth0", 0, true, u"::ffff/0:192.0.2.1%eth0"},
        {"prefix too large", u"fe80::1", 129, false, u"fe80::1"},
        {"negative prefix", u"fe80::1", -1, false, u"fe80::1"},
        {"already has a prefix", u"fe80::1/64", 64, false, u"fe80::1/64"},
        {"host text does not split", u"1:2:3:4:5:6:192.0.2.1", 64, false, u"1:2:3:4:5:6:192.0.2.1"},
    };
    for (const auto& [rule, before, prefix, ok, after] : bonds) {
        SCOPED_TRACE(std::string(rule) + ": " + U8(before));
        CString text = before;
        EXPECT_EQ(P::BondIPV6AddressWithPrefix(text, prefix), ok);
        EXPECT_EQ(U8(text), U8(after));
    }
}

TEST(IPv6Parts, ScopeIdTextAndHexValue) {
    const std::pair<C16, C16> scopes[] = {
        {u" fe80::1%1a\t", u"1a"}, {u"abc%7", u"7"}, {u"fe80::1%eth0", u""}, {u"fe80::1", u""}};
    for (const auto& [text, scope] : scopes)
        EXPECT_EQ(U8(P::GetScopeidFromIPV6(text)), U8(scope)) << U8(text);
    const std::pair<C16, int64_t> values[] = {{u"1g", 0},
                                              {u"7ffffffffffffffe", INT64_MAX - 1},
                                              {u"8000000000000000", INT64_MAX},
                                              {u"ffffffffffffffffffffffffx", 0}};
    for (const auto& [text, value] : values) EXPECT_EQ(P::HexCString2long(text), value) << U8(text);
}

// Which outputs the splitting helpers write, leave alone ("old") or empty when they reject.
TEST(IPv6Parts, SplittingHelpersLeaveOrEmptyTheirOutputsAsDocumented) {
    const auto octet = P::GetIPv4ByteData, host = P::GetIPDataInIPv6HostInfo;
    const auto compress = P::ParseCompressIPv6IPData, group = P::GetIPv6ShortData;
    const C16 kOld = u"old";
    using Split = bool (*)(CString, CString&, CString&);
    const std::tuple<const char*, Split, C16, bool, C16, C16> rows[] = {
        {"octet: trailing dot", octet, u"7.", true, u"7", u""},
        {"octet: bad octet before a dot", octet, u"300.1", false, kOld, kOld},
        {"octet: bad octet without a dot empties", octet, u"300", false, u"", u""},
        {"octet: empty text", octet, u"", false, kOld, kOld},
        {"host: mapped tail", host, u"::ffff/96:192.0.2.1", true, u"::ffff/96", u"192.0.2.1"},
        {"host: \"::\" right before the tail", host, u"::192.0.2.1", true, u":", u"192.0.2.1"},
        {"host: no tail", host, u"fe80::1", true, u"fe80::1", u""},
        {"host: invalid half empties", host, u"1:2:3:4:5:6:192.0.2.1", false, u"", u""},
        {"host: ends with a dot", host, u"::1.2.3.", false, kOld, kOld},
        {"host: empty first octet", host, u"::.1.2.3", false, kOld, kOld},
        {"host: no colon before the tail", host, u"1.2.3.4", false, kOld, kOld},
        {"compress: one \"::\"", compress, u"fe80::1", true, u"fe80", u"1"},
        {"compress: alone", compress, u"::", true, u"", u""},
        {"compress: none", compress, u"1:2", false, kOld, kOld},
        {"compress: \":::\" is two", compress, u"1:::2", false, kOld, kOld},
        {"group: first of several", group, u"fe80:0:1", true, u"fe80", u"0:1"},
        {"group: the last", group, u"abcd", true, u"abcd", u""},
        {"group: bad text without colon empties", group, u"abcde", false, u"", u""},
        {"group: bad group before a colon", group, u"xyz:1", false, kOld, kOld},
    };
    for (const auto& [rule, split, text, ok, expectedFirst, expectedSecond] : rows) {
        SCOPED_TRACE(std::string(rule) + ": \"" + U8(text) + "\"");
        CString first = kOld, second = kOld;
        const bool got = split(text, first, second);
        EXPECT_EQ(std::tuple(got, U8(first), U8(second)),
                  std::tuple(ok, U8(expectedFirst), U8(expectedSecond)));
    }
    // The group-list layer consumes its argument up to the piece where the walk stopped.
    const std::tuple<C16, bool, C16> lists[] = {{u"1:2:3:4:5:6:7", true, u"7"},
                                                {u"1:zz:3", false, u"zz:3"}};
    for (const auto& [text, ok, left] : lists) {
        CString groups = text;
        EXPECT_EQ(P::IsAfterCompressIPv6IPData(groups), ok) << U8(text);
        EXPECT_EQ(U8(groups), U8(left));
    }
    // PreCheck writes the part without prefix only when it accepts; the flag changes nothing.
    const std::tuple<C16, bool, C16> prechecks[] = {{u"fe80::1/64", true, u"fe80::1"},
                                                    {u"1:2:", false, kOld}};
    for (const auto& [text, ok, expected] : prechecks) {
        for (bool flag : {false, true}) {
            CString bare = kOld;
            EXPECT_EQ(P::PreCheckIPv6IPData(text, flag, bare), ok) << U8(text);
            EXPECT_EQ(U8(bare), U8(expected));
        }
    }
    // Group expansion of a malformed part keeps to its eight slots.
    const std::pair<C16, std::array<const char*, 8>> expansions[] = {
        {u"1:2:3:4:5:6:7:8:9:10", {"1", "2", "3", "4", "5", "6", "7", "8"}},
        {u"::1:2:3:4:5:6:7:8:9", {"2", "3", "4", "5", "6", "7", "8", "9"}},
    };
    for (const auto& [part, expected] : expansions) {
        CString groups[8];
        EXPECT_TRUE(P::GetSectionDataFromIPV6(part, groups));
        for (int i = 0; i < 8; ++i) EXPECT_EQ(U8(groups[i]), expected[i]) << U8(part) << " " << i;
    }
}

}  // namespace
