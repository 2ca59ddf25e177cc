// Fuzz target for IP address text. Beyond "no crash", it checks:
//  - the classifier agrees with the two validators;
//  - every text is the same address as itself, and sameness is symmetric;
//  - a valid IPv6 text whose prefix is cut off and bonded back decomposes into the same parts;
//  - on texts made only of hexadecimal digits and colons, our IPv6 validator agrees with
//    glibc's inet_pton.
// The input is read as UTF-8; a first line break splits it into two texts for the comparison.

#include <arpa/inet.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "util/base/cstring.h"
#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_format_peer.h"

namespace {

void Require(bool condition, const char* invariant, const CString& a,
             const CString& b = CString()) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n  a = \"%s\"\n  b = \"%s\"\n", invariant,
                 a.ToUtf8().c_str(), b.ToUtf8().c_str());
    std::abort();
}

struct Parts {
    CString ipv6, ipv4, scope;
    int prefix = -1;
    bool operator==(const Parts& o) const {
        return ipv6 == o.ipv6 && ipv4 == o.ipv4 && scope == o.scope && prefix == o.prefix;
    }
};

bool Cut(const CString& text, Parts* parts) {
    return CIPFormatPeer::CutIPV6IntoIPV6IPV4PrefixScopeID(text, parts->ipv6, parts->ipv4,
                                                           parts->prefix, parts->scope);
}

void CheckOne(const CString& a) {
    bool v4 = CIPFormat::IsIPV4Address(a);
    bool v6 = CIPFormat::IsValidIPV6Address(a);
    CIPFormat::IPAddressStatus expected =
        v4 ? CIPFormat::IPAS_IPv4 : (v6 ? CIPFormat::IPAS_IPv6 : CIPFormat::IPAS_Other);
    Require(CIPFormatPeer::VarifyIPAddress(a) == expected, "classifier agrees with validators", a);
    if (CIPFormat::IsValidIPV4Address(a)) Require(v4, "valid IPv4 is IPv4", a);
    Require(CIPFormat::IsSameIPAddress(a, a), "a text is the same address as itself", a);

    if (v6) {
        Parts before, after;
        Require(Cut(a, &before), "a valid text can be cut", a);
        CString text = a;
        int prefix = -1;
        if (CIPFormatPeer::CutIPV6IntoAddressAndPrefix(text, prefix)) {
            Require(CIPFormatPeer::BondIPV6AddressWithPrefix(text, prefix), "bond after cut", a,
                    text);
            Require(Cut(text, &after) && after == before, "cut and bond keep the parts", a, text);
        } else {
            Require(prefix == 0 && text == a, "no prefix: text unchanged", a, text);
        }
    }

    std::string narrow = a.ToUtf8();
    if (!narrow.empty() &&
        narrow.find_first_not_of("0123456789abcdefABCDEF:") == std::string::npos) {
        unsigned char bytes[16];
        bool theirs = inet_pton(AF_INET6, narrow.c_str(), bytes) == 1;
        Require(v6 == theirs, "IPv6 validator agrees with inet_pton on hex and colons", a);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t newline = input.find('\n');
    CString a = CString::FromUtf8(input.substr(0, newline));
    CString b =
        newline == std::string::npos ? CString() : CString::FromUtf8(input.substr(newline + 1));
    CheckOne(a);
    if (newline != std::string::npos) {
        CheckOne(b);
        Require(CIPFormat::IsSameIPAddress(a, b) == CIPFormat::IsSameIPAddress(b, a),
                "sameness is symmetric", a, b);
    }
    return 0;
}
