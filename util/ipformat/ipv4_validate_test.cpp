#include <gtest/gtest.h>

#include <memory>

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_format_peer.h"

namespace {

using P = CIPFormatPeer;

std::string U8(const CString& s) {
    return s.ToUtf8();
}

TEST(IPv4Validators, AcceptOnlyFourDecimalOctetsAndRejectLoopbackAndMulticastWhenValid) {
    struct Row {
        const char* rule;
        const char16_t* text;
        bool isIPv4;
        bool isValidIPv4;
    } rows[] = {
        {"plain address", u"192.168.0.1", true, true},
        {"no address is special to the grammar", u"0.0.0.0", true, true},
        {"first octet 255 is reserved", u"255.255.255.255", true, false},
        {"first octet 127 is loopback", u"127.0.0.1", true, false},
        {"just below loopback", u"126.255.255.255", true, true},
        {"last unicast first octet", u"223.1.2.3", true, true},
        {"first octet 224 is multicast", u"224.0.0.1", true, false},
        {"only the first octet decides", u"10.0.0.0", true, true},
        {"leading zeros are decimal", u"010.001.000.255", true, true},
        {"any number of leading zeros", u"0000001.2.3.4", true, true},
        {"octet above 255", u"1.2.3.256", false, false},
        {"long digit run above 255", u"1.2.3.99999999999999999999", false, false},
        {"three parts", u"1.2.3", false, false},
        {"five parts", u"1.2.3.4.5", false, false},
        {"empty first part", u".1.2.3", false, false},
        {"empty last part", u"1.2.3.", false, false},
        {"empty middle part", u"1..2.3", false, false},
        {"blank before", u" 1.2.3.4", false, false},
        {"blank after", u"1.2.3.4 ", false, false},
        {"sign", u"+1.2.3.4", false, false},
        {"hexadecimal", u"0x1.2.3.4", false, false},
        {"empty text", u"", false, false},
        {"only dots", u"...", false, false},
        {"digits of another script do not count", u"\u0661.2.3.4", false, false},
        {"fullwidth digit", u"1.2.3.\uFF14", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.rule) + ": \"" + U8(row.text) + "\"");
        EXPECT_EQ(CIPFormat::IsIPV4Address(row.text), row.isIPv4);
        EXPECT_EQ(CIPFormat::IsValidIPV4Address(row.text), row.isValidIPv4);
        EXPECT_EQ(P::IsIPv4HostInfo(row.text), row.isIPv4);
        EXPECT_EQ(P::IsValidIPv4HostInfo(row.text), row.isValidIPv4);
    }
}

TEST(IPv4Validators, BanCharTestNamesTheAllowedSet) {
    struct Row {
        const char16_t* text;
        const char16_t* allowed;
        bool banned;
    } rows[] = {
        {u"", u"0123456789", false},
        {u"", u"", false},
        {u"12a", u"0123456789", true},
        {u"FfA0", u"0123456789abcdefABCDEF", false},
        {u"x", u"", true},
        {u"1 2", u"0123456789", true},
        {u"\u00e9\u00e9", u"\u00e9", false},  // characters beyond ASCII are looked up as well
        {u"\u00e9", u"e", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(U8(row.text) + " in " + U8(row.allowed));
        EXPECT_EQ(P::IsExistBanChar(row.text, row.allowed), row.banned);
    }
}

TEST(IPv4Validators, ByteDataIsOneDecimalOctet) {
    struct Row {
        const char16_t* text;
        bool octet;
    } rows[] = {
        {u"0", true},
        {u"000", true},
        {u"255", true},
        {u"0255", true},
        {u"1", true},
        {u"", false},
        {u"256", false},
        {u"-1", false},
        {u"1 ", false},
        {u"2a", false},
        {u"99999999999999", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(U8(row.text));
        EXPECT_EQ(P::GetByteData(row.text), row.octet);
    }
}

TEST(IPv4Validators, SplittingTheFirstOctetKeepsOrEmptiesTheOutputsAsDocumented) {
    const char16_t* kUnchanged = u"(unchanged)";
    struct Row {
        const char* rule;
        const char16_t* text;
        bool ok;
        const char16_t* octet;
        const char16_t* rest;
    } rows[] = {
        {"first of four", u"192.0.2.1", true, u"192", u"0.2.1"},
        {"last one", u"7", true, u"7", u""},
        {"trailing dot", u"7.", true, u"7", u""},
        {"bad octet before a dot leaves outputs", u"300.1", false, kUnchanged, kUnchanged},
        {"empty octet before a dot leaves outputs", u".1", false, kUnchanged, kUnchanged},
        {"bad octet without a dot empties outputs", u"300", false, u"", u""},
        {"empty text leaves outputs", u"", false, kUnchanged, kUnchanged},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.rule) + ": " + U8(row.text));
        CString octet = kUnchanged, rest = kUnchanged;
        EXPECT_EQ(P::GetIPv4ByteData(row.text, octet, rest), row.ok);
        EXPECT_EQ(U8(octet), U8(row.octet));
        EXPECT_EQ(U8(rest), U8(row.rest));
    }
}

TEST(IPv4Validators, ClassifierTriesThePermissiveIPv4TestFirst) {
    struct Row {
        const char16_t* text;
        CIPFormat::IPAddressStatus status;
    } rows[] = {
        {u"10.0.0.1", CIPFormat::IPAS_IPv4},
        {u"127.0.0.1", CIPFormat::IPAS_IPv4},
        {u"255.255.255.255", CIPFormat::IPAS_IPv4},
        {u"fe80::1%4", CIPFormat::IPAS_IPv6},
        {u"::ffff:192.0.2.1", CIPFormat::IPAS_IPv6},
        {u"printer01", CIPFormat::IPAS_Other},
        {u"", CIPFormat::IPAS_Other},
        {u" 10.0.0.1", CIPFormat::IPAS_Other},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(U8(row.text));
        EXPECT_EQ(P::VarifyIPAddress(row.text), row.status);
    }
}

TEST(IPFormatObject, HasValueSemanticsAndDeletesThroughABasePointer) {
    CIPFormat empty;
    EXPECT_EQ(U8(P::Text(empty)), "");
    CIPFormat original(CString(u"fe80::1"));
    CIPFormat copy(original);
    original = CString(u"10.0.0.1");
    EXPECT_EQ(U8(P::Text(copy)), "fe80::1");
    EXPECT_EQ(U8(P::Text(original)), "10.0.0.1");
    copy = original;
    EXPECT_EQ(U8(P::Text(copy)), "10.0.0.1");
    std::unique_ptr<CIPFormat> owned = std::make_unique<CIPFormat>(CString(u"x"));
    EXPECT_EQ(U8(P::Text(*owned)), "x");
    EXPECT_TRUE(std::has_virtual_destructor<CIPFormat>::value);
}

}  // namespace
