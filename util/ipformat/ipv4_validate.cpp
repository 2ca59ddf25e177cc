// IPv4 text: the dotted-decimal grammar, single octets, and the classifier.

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_text.h"

namespace ip_text {

bool ParseIPv4(View text, int octets[4]) {
    // One walk: each field is a non-empty run of digits whose value stays within 255 however
    // many leading zeros it has, and exactly three single dots separate four fields.
    const char16_t* p = text.data();
    const char16_t* const end = p + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (p == end || *p != u'.') return false;
            ++p;
        }
        if (p == end || !IsAsciiDigit(*p)) return false;
        unsigned value = 0;
        do {
            value = value * 10 + unsigned(*p - u'0');
            if (value > 255) return false;
        } while (++p != end && IsAsciiDigit(*p));
        octets[i] = static_cast<int>(value);
    }
    return p == end;
}

bool IsOctet(View text) {
    // All zeros ("0", "000") is an octet; otherwise the value must be 1 to 255.
    if (text.empty()) return false;
    unsigned value = 0;
    for (char16_t ch : text) {
        if (!IsAsciiDigit(ch)) return false;
        value = value * 10 + unsigned(ch - u'0');
        if (value > 255) return false;
    }
    return true;
}

Split SplitOctet(View text, View* octet, View* rest) {
    if (text.empty()) return Split::kRejectUnchanged;
    return SplitFirstPiece(text, u'.', IsOctet, octet, rest);
}

int Classify(View text) {
    int octets[4];
    if (ParseIPv4(text, octets)) return CIPFormat::IPAS_IPv4;
    if (IsIPv6(text)) return CIPFormat::IPAS_IPv6;
    return CIPFormat::IPAS_Other;
}

}  // namespace ip_text

namespace {

bool IsValidIPv4(ip_text::View text) {
    int octets[4];
    if (!ip_text::ParseIPv4(text, octets)) return false;
    // Loopback (127) and multicast or reserved (224 and above) are no host addresses.
    return octets[0] != 127 && octets[0] < 224;
}

}  // namespace

// The public validators answer as their workers do; they read the argument in place instead of
// handing the worker another copy.
bool CIPFormat::IsIPV4Address(CString address) {
    int octets[4];
    return ip_text::ParseIPv4(address.View(), octets);
}
bool CIPFormat::IsValidIPV4Address(CString address) {
    return IsValidIPv4(address.View());
}

bool CIPFormat::IsIPv4HostInfo(CString address) {
    int octets[4];
    return ip_text::ParseIPv4(address.View(), octets);
}

bool CIPFormat::IsValidIPv4HostInfo(CString address) {
    return IsValidIPv4(address.View());
}

bool CIPFormat::GetByteData(CString text) {
    return ip_text::IsOctet(text.View());
}

bool CIPFormat::GetIPv4ByteData(CString text, CString& octet, CString& rest) {
    ip_text::View octetView, restView;
    switch (ip_text::SplitOctet(text.View(), &octetView, &restView)) {
        case ip_text::Split::kOk:
            octet = CString(octetView);
            rest = CString(restView);
            return true;
        case ip_text::Split::kRejectEmptied:
            octet.Empty();
            rest.Empty();
            return false;
        case ip_text::Split::kRejectUnchanged:
            break;
    }
    return false;
}

CIPFormat::IPAddressStatus CIPFormat::VarifyIPAddress(CString address) {
    return static_cast<IPAddressStatus>(ip_text::Classify(address.View()));
}
