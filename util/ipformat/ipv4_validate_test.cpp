#include <gtest/gtest.h>

#include <tuple>
#include <type_traits>
#include <utility>

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_format_peer.h"

namespace {

using P = CIPFormatPeer;

std::string U8(const CString& s) {
    return s.ToUtf8();
}

TEST(IPv4Validators, AcceptOnlyFourDecimalOctetsAndRejectLoopbackAndMulticastWhenValid) {
    const std::tuple<const char*, const char16_t*, bool, bool> rows[] = {
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
        {"empty first part", u".1.2.3", false, false},
        {"empty last part", u"1.2.3.", false, false},
        {"blank before", u" 1.2.3.4", false, false},
        {"blank after", u"1.2.3.4 ", false, false},
        {"sign", u"+1.2.3.4", false, false},
        {"hexadecimal", u"0x1.2.3.4", false, false},
        {"empty text", u"", false, false},
        {"digits of another script do not count", u"\u0661.2.3.4", false, false},
    };
    for (const auto& [rule, text, isIPv4, isValidIPv4] : rows) {
        SCOPED_TRACE(std::string(rule) + ": \"" + U8(text) + "\"");
        EXPECT_EQ(CIPFormat::IsIPV4Address(text), isIPv4);
        EXPECT_EQ(CIPFormat::IsValidIPV4Address(text), isValidIPv4);
    }
}

TEST(IPv4Validators, BanCharTestAndOctetTest) {
    const std::tuple<const char16_t*, const char16_t*, bool> bans[] = {
        {u"", u"0123456789", false},
        {u"12a", u"0123456789", true},
        {u"FfA0", u"0123456789abcdefABCDEF", false},
        {u"x", u"", true},
        {u"\u00e9\u00e9", u"\u00e9", false},  // characters beyond ASCII are looked up as well
        {u"\u00e9", u"e", true},
    };
    for (const auto& [text, allowed, banned] : bans)
        EXPECT_EQ(P::IsExistBanChar(text, allowed), banned) << U8(text) << " in " << U8(allowed);
    // The octet test is no layer of the public validator: only this table guards it.
    const std::pair<const char16_t*, bool> octets[] = {
        {u"000", true},  {u"255", true}, {u"0255", true}, {u"", false},
        {u"256", false}, {u"-1", false}, {u"2a", false},  {u"99999999999999", false}};
    for (const auto& [text, octet] : octets) EXPECT_EQ(P::GetByteData(text), octet) << U8(text);
}

TEST(IPv4Validators, ClassifierTriesThePermissiveIPv4TestFirst) {
    // That the classifier agrees with the validators on any text is the fuzz target's job.
    EXPECT_EQ(P::VarifyIPAddress(u"127.0.0.1"), CIPFormat::IPAS_IPv4);
    EXPECT_EQ(P::VarifyIPAddress(u"fe80::1%4"), CIPFormat::IPAS_IPv6);
    EXPECT_EQ(P::VarifyIPAddress(u"printer01"), CIPFormat::IPAS_Other);
}

static_assert(std::has_virtual_destructor<CIPFormat>::value, "deleted through base pointers");

TEST(IPFormatObject, CopiesAndAssignmentsCarryTheText) {
    CIPFormat empty, original(CString(u"fe80::1"));
    CIPFormat copy(original);
    original = CString(u"10.0.0.1");
    EXPECT_EQ(U8(P::Text(empty)), "");
    EXPECT_EQ(U8(P::Text(copy)), "fe80::1");
    EXPECT_EQ(U8(P::Text(original)), "10.0.0.1");
    copy = original;
    EXPECT_EQ(U8(P::Text(copy)), "10.0.0.1");
}

}  // namespace
