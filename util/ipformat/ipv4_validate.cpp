// IPv4 text: the dotted-decimal grammar, single octets, and the classifier.

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_text.h"

namespace ip_text {
namespace {

// The value of a run of ASCII digits, or 256 as soon as it exceeds 255 (however long the run).
int OctetValue(View digits) {
    int value = 0;
    for (char16_t ch : digits) {
        value = value * 10 + (ch - u'0');
        if (value > 255) return 256;
    }
    return value;
}

}  // namespace

bool ParseIPv4(View text, int octets[4]) {
    if (text.empty()) return false;
    size_t firstDot = text.find(u'.');
    if (firstDot == View::npos || firstDot == 0) return false;
    int dots = 0;
    for (char16_t ch : text) dots += ch == u'.';
    if (dots != 3) return false;
    for (int i = 0; i < 4; ++i) {
        size_t end = i < 3 ? text.find(u'.') : text.size();
        View part = text.substr(0, end);
        if (part.empty()) return false;
        for (char16_t ch : part)
            if (!IsAsciiDigit(ch)) return false;
        int value = OctetValue(part);
        if (value > 255) return false;
        octets[i] = value;
        if (i < 3) text.remove_prefix(end + 1);
    }
    return true;
}

bool IsOctet(View text) {
    if (text.empty() || HasCharOutside(text, DigitSet())) return false;
    // All zeros ("0", "000") is an octet; otherwise the value must be 1 to 255.
    int value = OctetValue(text);
    return value <= 255;
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
