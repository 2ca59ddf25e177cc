// Decomposition of IPv6 text into IPv6 part, IPv4 tail, prefix length and scope ID, and the
// joining of a prefix back into a text.

#include <climits>

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_text.h"

namespace ip_text {

int ReadPrefixDigits(View text, size_t* slash, size_t* digits) {
    *slash = text.find(u'/');
    *digits = 0;
    if (*slash == View::npos) return 0;
    long long value = 0;
    for (size_t i = *slash + 1; i < text.size() && IsAsciiDigit(text[i]); ++i) {
        if (value < INT_MAX) value = value * 10 + (text[i] - u'0');
        ++*digits;
    }
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

}  // namespace ip_text

bool CIPFormat::CutIPV6IntoIPV6IPV4PrefixScopeID(CString address, CString& ipv6Part,
                                                 CString& ipv4Tail, int& prefix, CString& scopeId) {
    ipv4Tail.Empty();
    ipv6Part.Empty();
    prefix = 0;
    scopeId.Empty();
    // The validator's own cut: the first "/" of a valid text is the one after the groups.
    ip_text::IPv6Parts parts;
    if (!ip_text::IsIPv6(address.View(), &parts)) return false;
    ipv6Part = ip_text::PieceOf(address, parts.ipv6Part);
    ipv4Tail = CString(parts.ipv4Tail);
    prefix = parts.prefix;
    scopeId = CString(parts.scopeId);
    return true;
}

bool CIPFormat::CutIPV6IntoAddressAndPrefix(CString& address, int& prefix) {
    prefix = 0;
    if (!ip_text::IsIPv6(address.View())) return false;
    size_t slash, digits;
    int value = ip_text::ReadPrefixDigits(address.View(), &slash, &digits);
    if (slash == ip_text::View::npos) return false;
    prefix = value;
    address.Delete(static_cast<int>(slash), static_cast<int>(1 + digits));
    return true;
}

bool CIPFormat::BondIPV6AddressWithPrefix(CString& address, int prefix) {
    ip_text::View text = address.View();
    if (text.find(u'/') != ip_text::View::npos) return false;
    ip_text::View host = text, scope;
    size_t percent = text.find(u'%');
    if (percent != ip_text::View::npos) {
        scope = text.substr(percent + 1);
        host = text.substr(0, percent);
    }
    ip_text::View part, tail;
    if (ip_text::SplitHostText(host, &part, &tail) != ip_text::Split::kOk) return false;
    CString prefixText;
    prefixText.Format(u"%d", prefix);
    if (!ip_text::IsPrefix(prefixText.View())) return false;

    const CString ipv6Part(part), ipv4Tail(tail), scopeId(scope);
    CString joined;
    if (tail.empty() && scope.empty())
        joined.Format(u"%s/%d", ipv6Part, prefix);
    else if (scope.empty())
        joined.Format(u"%s/%d:%s", ipv6Part, prefix, ipv4Tail);
    else if (tail.empty())
        joined.Format(u"%s/%d%%%s", ipv6Part, prefix, scopeId);
    else
        joined.Format(u"%s/%d:%s%%%s", ipv6Part, prefix, ipv4Tail, scopeId);
    address = joined;
    return true;
}

CString CIPFormat::GetScopeidFromIPV6(CString address) {
    ip_text::View text = ip_text::TrimSpace(address.View());
    size_t percent = text.find(u'%');
    if (percent == ip_text::View::npos) return CString();
    ip_text::View candidate = text.substr(percent + 1);
    if (!candidate.empty() && !ip_text::IsScopeId(candidate)) return CString();
    return CString(candidate);
}

bool CIPFormat::IsIPV6AddressIncludeScopeID(CString address) {
    ip_text::View text = address.View();
    return ip_text::IsIPv6(text) && text.find(u'%') != ip_text::View::npos;
}
