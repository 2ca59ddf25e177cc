#include <gtest/gtest.h>

#include <tuple>

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_format_peer.h"

namespace {

using P = CIPFormatPeer;

std::string U8(const CString& s) {
    return s.ToUtf8();
}

// IPv6 part, IPv4 tail, prefix, scope ID.
using Parts = std::tuple<std::string, std::string, int, std::string>;

bool Cut(const CString& text, Parts* parts) {
    CString v6 = u"junk", v4 = u"junk", scope = u"junk";
    int prefix = -7;
    bool ok = P::CutIPV6IntoIPV6IPV4PrefixScopeID(text, v6, v4, prefix, scope);
    *parts = {U8(v6), U8(v4), prefix, U8(scope)};
    return ok;
}

TEST(IPv6Parts, CutGivesGroupsTailPrefixAndScopeOrFourEmptyOutputs) {
    const std::tuple<const char16_t*, bool, Parts> rows[] = {
        {u"fe80::1/64%4", true, {"fe80::1", "", 64, "4"}},
        {u"::ffff/96:192.0.2.1%5", true, {"::ffff", "192.0.2.1", 96, "5"}},
        {u"::192.0.2.1", true, {":", "192.0.2.1", 0, ""}},
        {u":::192.0.2.1", true, {"::", "192.0.2.1", 0, ""}},
        {u"::/64:192.0.2.1", true, {"::", "192.0.2.1", 64, ""}},
        {u":/96:192.0.2.1", true, {":", "192.0.2.1", 96, ""}},
        {u"2001:db8::1", true, {"2001:db8::1", "", 0, ""}},
        {u"1:2:3:4:5:6:7:8/064", true, {"1:2:3:4:5:6:7:8", "", 64, ""}},
        {u"0:0:0:0:0:ffff:192.0.2.1%a", true, {"0:0:0:0:0:ffff", "192.0.2.1", 0, "a"}},
        {u"1.2.3.4", false, {"", "", 0, ""}},
        {u"fe80::1%eth0", false, {"", "", 0, ""}},
    };
    for (const auto& [text, ok, expected] : rows) {
        Parts parts;
        EXPECT_EQ(Cut(text, &parts), ok) << U8(text);
        EXPECT_EQ(parts, expected) << U8(text);
    }
}

TEST(IPv6Parts, CuttingThePrefixAloneClosesUpTheText) {
    const std::tuple<const char16_t*, bool, const char16_t*, int> rows[] = {
        {u"fe80::1/64%4", true, u"fe80::1%4", 64},
        {u"::ffff/96:192.0.2.1", true, u"::ffff:192.0.2.1", 96},
        {u"::/0", true, u"::", 0},
        {u"fe80::1", false, u"fe80::1", 0},
        {u"fe80::1/129", false, u"fe80::1/129", 0},
    };
    for (const auto& [before, ok, after, expectedPrefix] : rows) {
        CString text = before;
        int prefix = 99;
        EXPECT_EQ(P::CutIPV6IntoAddressAndPrefix(text, prefix), ok) << U8(before);
        EXPECT_EQ(U8(text), U8(after));
        EXPECT_EQ(prefix, expectedPrefix) << U8(before);
    }
}

TEST(IPv6Parts, BondPutsThePrefixBeforeTailAndScopeInOneOfFourForms) {
    const std::tuple<const char*, const char16_t*, int, bool, const char16_t*> rows[] = {
        {"groups only", u"fe80::1", 64, true, u"fe80::1/64"},
        {"with tail", u"::ffff:192.0.2.1", 96, true, u"::ffff/96:192.0.2.1"},
        {"with scope", u"fe80::1%4", 64, true, u"fe80::1/64%4"},
        {"with tail and scope", u"::ffff:192.0.2.1%4", 0, true, u"::ffff/0:192.0.2.1%4"},
        {"\"::\" before the tail", u"::192.0.2.1", 96, true, u":/96:192.0.2.1"},
        {"scope not validated", u"fe80::1%eth0", 8, true, u"fe80::1/8%eth0"},
        {"prefix 128", u"::", 128, true, u"::/128"},
        {"prefix too large", u"fe80::1", 129, false, u"fe80::1"},
        {"negative prefix", u"fe80::1", -1, false, u"fe80::1"},
        {"already has a prefix", u"fe80::1/64", 64, false, u"fe80::1/64"},
        {"host text does not split", u"1:2:3:4:5:6:192.0.2.1", 64, false, u"1:2:3:4:5:6:192.0.2.1"},
    };
    for (const auto& [rule, before, prefix, ok, after] : rows) {
        SCOPED_TRACE(std::string(rule) + ": " + U8(before));
        CString text = before;
        EXPECT_EQ(P::BondIPV6AddressWithPrefix(text, prefix), ok);
        EXPECT_EQ(U8(text), U8(after));
    }
}

TEST(IPv6Parts, ScopeIdQueries) {
    const std::tuple<const char16_t*, const char16_t*, bool> rows[] = {
        {u" fe80::1%1a\t", u"1a", false},  // stripped for the scope, not for the validator
        {u"fe80::1%4", u"4", true},       {u"fe80::1", u"", false},
        {u"fe80::1%eth0", u"", false},    {u"fe80::1%", u"", false},
        {u"abc%7", u"7", false},          {u"::ffff:192.0.2.1%ffffffff", u"ffffffff", true},
    };
    for (const auto& [text, scope, includes] : rows) {
        EXPECT_EQ(U8(P::GetScopeidFromIPV6(text)), U8(scope)) << U8(text);
        EXPECT_EQ(P::IsIPV6AddressIncludeScopeID(text), includes) << U8(text);
    }
}

}  // namespace
