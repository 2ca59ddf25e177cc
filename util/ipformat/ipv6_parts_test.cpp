#include <gtest/gtest.h>

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_format_peer.h"

namespace {

using P = CIPFormatPeer;

std::string U8(const CString& s) {
    return s.ToUtf8();
}

struct Parts {
    std::string ipv6, ipv4;
    int prefix;
    std::string scope;
    bool operator==(const Parts& o) const {
        return ipv6 == o.ipv6 && ipv4 == o.ipv4 && prefix == o.prefix && scope == o.scope;
    }
};
std::ostream& operator<<(std::ostream& out, const Parts& p) {
    return out << "{" << p.ipv6 << " | " << p.ipv4 << " | " << p.prefix << " | " << p.scope << "}";
}

bool Cut(const CString& text, Parts* parts) {
    CString v6 = u"junk", v4 = u"junk", scope = u"junk";
    int prefix = -7;
    bool ok = P::CutIPV6IntoIPV6IPV4PrefixScopeID(text, v6, v4, prefix, scope);
    *parts = {U8(v6), U8(v4), prefix, U8(scope)};
    return ok;
}

TEST(IPv6Parts, CutGivesGroupsTailPrefixAndScopeOrFourEmptyOutputs) {
    struct Row {
        const char16_t* text;
        bool ok;
        Parts parts;
    } rows[] = {
        {u"fe80::1/64%4", true, {"fe80::1", "", 64, "4"}},
        {u"::ffff/96:192.0.2.1%5", true, {"::ffff", "192.0.2.1", 96, "5"}},
        {u"::192.0.2.1", true, {":", "192.0.2.1", 0, ""}},
        {u":::192.0.2.1", true, {"::", "192.0.2.1", 0, ""}},
        {u"::/64:192.0.2.1", true, {"::", "192.0.2.1", 64, ""}},
        {u":/96:192.0.2.1", true, {":", "192.0.2.1", 96, ""}},
        {u"2001:db8::1", true, {"2001:db8::1", "", 0, ""}},
        {u"2001:db8::1/0", true, {"2001:db8::1", "", 0, ""}},
        {u"1:2:3:4:5:6:7:8/064", true, {"1:2:3:4:5:6:7:8", "", 64, ""}},
        {u"0:0:0:0:0:ffff:192.0.2.1%a", true, {"0:0:0:0:0:ffff", "192.0.2.1", 0, "a"}},
        {u"1.2.3.4", false, {"", "", 0, ""}},
        {u"fe80::1%eth0", false, {"", "", 0, ""}},
        {u" fe80::1", false, {"", "", 0, ""}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(U8(row.text));
        Parts parts;
        EXPECT_EQ(Cut(row.text, &parts), row.ok);
        EXPECT_EQ(parts, row.parts);
    }
}

TEST(IPv6Parts, CuttingThePrefixAloneClosesUpTheText) {
    struct Row {
        const char16_t* text;
        bool ok;
        const char16_t* after;
        int prefix;
    } rows[] = {
        {u"fe80::1/64%4", true, u"fe80::1%4", 64},
        {u"::ffff/96:192.0.2.1", true, u"::ffff:192.0.2.1", 96},
        {u"::/0", true, u"::", 0},
        {u"fe80::1", false, u"fe80::1", 0},
        {u"fe80::1/129", false, u"fe80::1/129", 0},
        {u"junk/64", false, u"junk/64", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(U8(row.text));
        CString text = row.text;
        int prefix = 99;
        EXPECT_EQ(P::CutIPV6IntoAddressAndPrefix(text, prefix), row.ok);
        EXPECT_EQ(U8(text), U8(row.after));
        EXPECT_EQ(prefix, row.prefix);
    }
}

TEST(IPv6Parts, BondPutsThePrefixBeforeTailAndScopeInOneOfFourForms) {
    struct Row {
        const char* rule;
        const char16_t* text;
        int prefix;
        bool ok;
        const char16_t* after;
    } rows[] = {
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
        {"not an address", u"printer", 64, false, u"printer"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.rule) + ": " + U8(row.text));
        CString text = row.text;
        EXPECT_EQ(P::BondIPV6AddressWithPrefix(text, row.prefix), row.ok);
        EXPECT_EQ(U8(text), U8(row.after));
    }
}

TEST(IPv6Parts, CutAndBondAgainDecomposesAlike) {
    const char16_t* texts[] = {u"fe80::1/64%4", u"::ffff/96:192.0.2.1%5", u":/96:192.0.2.1",
                               u"::/0",         u"1:2:3:4:5:6:7:8/128",   u"::/7:1.2.3.4",
                               u"abcd::/064%ff"};
    for (const char16_t* original : texts) {
        SCOPED_TRACE(U8(original));
        Parts before, after;
        ASSERT_TRUE(Cut(original, &before));
        CString text = original;
        int prefix = -1;
        ASSERT_TRUE(P::CutIPV6IntoAddressAndPrefix(text, prefix));
        ASSERT_TRUE(P::BondIPV6AddressWithPrefix(text, prefix));
        ASSERT_TRUE(Cut(text, &after));
        EXPECT_EQ(before, after);
    }
}

TEST(IPv6Parts, ScopeIdQueries) {
    struct Row {
        const char16_t* text;
        const char16_t* scope;
        bool includes;
    } rows[] = {
        {u" fe80::1%1a\t", u"1a", false},  // stripped for the scope, not for the validator
        {u"fe80::1%4", u"4", true},       {u"fe80::1", u"", false},
        {u"fe80::1%eth0", u"", false},    {u"fe80::1%", u"", false},
        {u"abc%7", u"7", false},          {u"::ffff:192.0.2.1%ffffffff", u"ffffffff", true},
        {u"192.0.2.1", u"", false},       {u"1.2.3.4%5", u"5", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(U8(row.text));
        EXPECT_EQ(U8(P::GetScopeidFromIPV6(row.text)), U8(row.scope));
        EXPECT_EQ(P::IsIPV6AddressIncludeScopeID(row.text), row.includes);
    }
}

}  // namespace
