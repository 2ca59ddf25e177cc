// Comparison of address texts: IPv4 by octet value, IPv6 by groups, prefix, scope ID and tail,
// anything else character for character.

#include <climits>

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_text.h"
#include "util/platform/unicode.h"

namespace ip_text {
namespace {

constexpr int kLastGroup = 7;
// Groups written after a "::" that precedes an IPv4 tail end at group 5, where the tail begins,
// so "::ffff:192.0.2.1" and "0:0:0:0:0:ffff:192.0.2.1" expand alike.
constexpr int kLastGroupBeforeTail = 5;

// The leading decimal number of a field as the C library reads one: white space and a sign
// first, then digits up to the first other character; no digits give 0. Values beyond the
// 32-bit range saturate.
long long LeadingDecimal(View field) {
    size_t i = 0;
    while (i < field.size() && util_platform::IsSpaceUnit(field[i])) ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == u'+' || field[i] == u'-')) negative = field[i++] == u'-';
    long long value = 0;
    for (; i < field.size() && IsAsciiDigit(field[i]); ++i)
        if (value <= INT_MAX) value = value * 10 + (field[i] - u'0');
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return value;
}

// The low 8 bits of the first four dot-separated fields. The text is read as if a "." were
// appended, so the fourth field may run to the end; fewer than four fields give false.
bool ReadFourOctets(View text, unsigned char octets[4]) {
    bool appendedDotLeft = true;
    for (int i = 0; i < 4; ++i) {
        size_t dot = text.find(u'.');
        View field;
        if (dot != View::npos) {
            field = text.substr(0, dot);
            text.remove_prefix(dot + 1);
        } else if (appendedDotLeft) {
            field = text;
            text = View();
            appendedDotLeft = false;
        } else {
            return false;
        }
        octets[i] = static_cast<unsigned char>(LeadingDecimal(field) & 0xFF);
    }
    return true;
}

}  // namespace

void ExpandGroups(View part, int lastGroup, View groups[8]) {
    View front, back;
    const bool compressed = ParseCompress(part, &front, &back);
    ExpandGroups(compressed ? front : part, back, compressed, lastGroup, groups);
}

void ExpandGroups(View forward, View back, bool compressed, int lastGroup, View groups[8]) {
    static const char16_t kZero[] = u"0";
    for (int i = 0; i < 8; ++i) groups[i] = View(kZero, 1);
    int index = 0;
    for (;;) {
        size_t colon = forward.find(u':');
        groups[index] = forward.substr(0, colon);
        if (colon == View::npos || index == 7) break;  // pieces beyond eight are ignored
        forward.remove_prefix(colon + 1);
        ++index;
    }
    if (index == 7) return;
    // Without "::" the back text is empty and only clears the last group, as a whole address of
    // eight groups would; alignment before a tail applies to the groups after a "::".
    index = compressed ? lastGroup : kLastGroup;
    while (index >= 0) {
        size_t colon = back.rfind(u':');
        if (colon == View::npos) {
            groups[index] = back;
            break;
        }
        groups[index--] = back.substr(colon + 1);
        back = back.substr(0, colon);
    }
}

bool SameMainPart(View first, int firstLast, View second, int secondLast) {
    View a[8], b[8];
    ExpandGroups(first, firstLast, a);
    ExpandGroups(second, secondLast, b);
    for (int i = 0; i < 8; ++i)
        if (HexValue(a[i]) != HexValue(b[i])) return false;
    return true;
}

bool SameIPv4Fields(View first, View second) {
    unsigned char a[4], b[4];
    if (!ReadFourOctets(first, a) || !ReadFourOctets(second, b)) return false;
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

bool SameValidIPv6(const IPv6Parts& a, const IPv6Parts& b) {
    if (a.prefix != b.prefix) return false;
    // Scope IDs: equal as text, two missing ones included.
    if (a.scopeId != b.scopeId) return false;
    if (!(a.ipv6Part.empty() && b.ipv6Part.empty())) {
        View x[8], y[8];
        ExpandGroups(a.front, a.back, a.compressed,
                     a.ipv4Tail.empty() ? kLastGroup : kLastGroupBeforeTail, x);
        ExpandGroups(b.front, b.back, b.compressed,
                     b.ipv4Tail.empty() ? kLastGroup : kLastGroupBeforeTail, y);
        for (int i = 0; i < 8; ++i)
            if (HexValue(x[i]) != HexValue(y[i])) return false;
    }
    // Tails: a tail on one side only differs (the other side has no fields); two validated tails
    // read the same octets field by field as the validator did.
    if (a.ipv4Tail.empty() != b.ipv4Tail.empty()) return false;
    if (!a.ipv4Tail.empty())
        for (int i = 0; i < 4; ++i)
            if (a.tailOctets[i] != b.tailOctets[i]) return false;
    return true;
}

bool SameAddress(View first, View second) {
    first = TrimSpace(first);
    second = TrimSpace(second);
    if (first.empty() && second.empty()) return true;
    // Classify both, keeping what the validators read: the octets of an IPv4 text (each field a
    // plain decimal number, so the same octets as IsSameIPV4Address reads) and the cut of an
    // IPv6 text, so that nothing is read twice.
    int a4[4], b4[4];
    if (ParseIPv4(first, a4))
        return ParseIPv4(second, b4) && a4[0] == b4[0] && a4[1] == b4[1] && a4[2] == b4[2] &&
               a4[3] == b4[3];
    if (ParseIPv4(second, b4)) return false;
    IPv6Parts a, b;
    const bool firstIsIPv6 = IsIPv6(first, &a);
    if (firstIsIPv6 != IsIPv6(second, &b)) return false;
    return firstIsIPv6 ? SameValidIPv6(a, b) : first == second;
}

}  // namespace ip_text

bool CIPFormat::IsSameIPAddress(CString first, CString second) {
    return ip_text::SameAddress(first.View(), second.View());
}

bool CIPFormat::IsSameIPV4Address(CString first, CString second) {
    return ip_text::SameIPv4Fields(first.View(), second.View());
}

bool CIPFormat::IsSameIPV6Address(CString first, CString second) {
    ip_text::IPv6Parts a, b;
    return ip_text::IsIPv6(first.View(), &a) && ip_text::IsIPv6(second.View(), &b) &&
           ip_text::SameValidIPv6(a, b);
}

bool CIPFormat::IsIPV6MainPartSame(CString first, CString second) {
    return ip_text::SameMainPart(first.View(), 7, second.View(), 7);
}

bool CIPFormat::GetSectionDataFromIPV6(CString ipv6Part, CString* groups) {
    ip_text::View views[8];
    ip_text::ExpandGroups(ipv6Part.View(), 7, views);
    if (groups)
        for (int i = 0; i < 8; ++i) groups[i] = CString(views[i]);
    return true;
}

bool CIPFormat::IsIPV6ScopeIDSame(CString first, CString second) {
    return GetScopeidFromIPV6(first) == GetScopeidFromIPV6(second);
}
