// IPv6 text: the layered validator (scope ID, characters, IPv4 tail, prefix, "::" forms,
// uncompressed forms, groups) and the hexadecimal reading of groups and scope IDs.

#include <climits>

#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_text.h"

namespace ip_text {
namespace {

// A "::" form before an IPv4 tail: the tail stands for two groups and "::" for at least one, so
// at most five groups can be written beside the "::".
constexpr int kMaxGroupsBesideCompressionBeforeTail = 5;
constexpr int kMaxGroupsBesideCompression = 7;

int HexDigitValue(char16_t ch) {
    if (ch >= u'0' && ch <= u'9') return ch - u'0';
    if (ch >= u'a' && ch <= u'f') return ch - u'a' + 10;
    if (ch >= u'A' && ch <= u'F') return ch - u'A' + 10;
    return -1;
}

int PieceCount(View list) {
    if (list.empty()) return 0;
    int n = 1;
    for (char16_t ch : list) n += ch == u':';
    return n;
}

}  // namespace

bool IsIPv6(View text) {
    // One walk finds the first "%" and checks the host text's characters on the way.
    size_t percent = 0;
    for (; percent < text.size() && text[percent] != u'%'; ++percent)
        if (!HostSet().Contains(text[percent])) return false;
    View host = text.substr(0, percent);
    if (percent < text.size() && !IsScopeId(text.substr(percent + 1))) return false;
    View ipv6Part, ipv4Tail;
    return SplitHostText(host, &ipv6Part, &ipv4Tail) == Split::kOk;
}

bool CutHost(View host, View* ipv6Part, View* ipv4Tail) {
    View part = host, tail;
    if (host.find(u'.') != View::npos) {
        if (host.back() == u'.') return false;
        // The rightmost three dots belong to the tail; its first octet follows the last ":"
        // before them.
        size_t firstTailDot = View::npos;
        int dots = 0;
        for (size_t i = host.size(); i-- > 0;) {
            if (host[i] == u'.' && ++dots == 3) {
                firstTailDot = i;
                break;
            }
        }
        if (firstTailDot == View::npos) return false;
        size_t colon = host.rfind(u':', firstTailDot);
        if (colon == View::npos || colon + 1 == firstTailDot) return false;
        part = host.substr(0, colon);
        tail = host.substr(colon + 1);
    }
    *ipv6Part = part;
    *ipv4Tail = tail;
    return true;
}

Split SplitHostText(View host, View* ipv6Part, View* ipv4Tail) {
    if (!CutHost(host, ipv6Part, ipv4Tail)) return Split::kRejectUnchanged;
    bool hasTail = !ipv4Tail->empty();
    if (!IsIPv6Part(*ipv6Part, hasTail) || (hasTail && !IsIPv4Tail(*ipv4Tail))) {
        *ipv6Part = View();
        *ipv4Tail = View();
        return Split::kRejectEmptied;
    }
    return Split::kOk;
}

bool IsIPv6Part(View part, bool hasIPv4Tail) {
    View bare;
    if (!PreCheck(part, &bare)) return false;
    if (FindDoubleColon(bare, 0) == View::npos) return IsUncompressed(bare, hasIPv4Tail);
    View front, back;
    if (!ParseCompress(bare, &front, &back)) return false;
    if (!front.empty() && !back.empty()) {
        if (!IsCompressed(front, back)) return false;
    } else if (!front.empty() || !back.empty()) {
        int groups = CountGroups(front.empty() ? back : front);
        if (groups < 0 || groups > kMaxGroupsBesideCompression) return false;
    }
    return !hasIPv4Tail ||
           PieceCount(front) + PieceCount(back) <= kMaxGroupsBesideCompressionBeforeTail;
}

bool PreCheck(View part, View* bare) {
    // One walk checks the characters and finds the first "/".
    size_t slash = View::npos;
    for (size_t i = 0; i < part.size(); ++i) {
        if (!PreCheckSet().Contains(part[i])) return false;
        if (part[i] == u'/' && slash == View::npos) slash = i;
    }
    *bare = part;
    if (slash != View::npos) {
        if (!IsPrefix(part.substr(slash + 1))) return false;
        *bare = part.substr(0, slash);
    }
    if (bare->size() < 2) return true;
    // A list may end in a group or in "::", never in a single colon after a group.
    return !(bare->back() == u':' && HexSet().Contains((*bare)[bare->size() - 2]));
}

bool ParseCompress(View text, View* front, View* back) {
    size_t first = FindDoubleColon(text, 0);
    if (first == View::npos) return false;
    // Searching again from the second colon makes ":::" count as two occurrences.
    if (FindDoubleColon(text, first + 1) != View::npos) return false;
    *front = text.substr(0, first);
    *back = text.substr(first + 2);
    return true;
}

int CountGroups(View list) {
    int count = 0;
    for (;;) {
        size_t colon = list.find(u':');
        if (!IsGroup(list.substr(0, colon))) return -1;
        ++count;
        if (colon == View::npos) return count;
        list.remove_prefix(colon + 1);
    }
}

bool IsCompressed(View front, View back) {
    int frontGroups = CountGroups(front);
    int backGroups = CountGroups(back);
    return frontGroups >= 0 && backGroups >= 0 &&
           frontGroups + backGroups <= kMaxGroupsBesideCompression;
}

bool IsUncompressed(View list, bool hasIPv4Tail) {
    View rest = list;
    View groups[8];
    int count = 0;
    for (int i = 0; i < 8; ++i) {
        View group, next;
        // The part ":" is what "::" leaves before a tail written right after it (::192.0.2.1).
        if (SplitGroup(rest, &group, &next) != Split::kOk) return hasIPv4Tail && list == View(u":");
        rest = next;
        groups[count++] = group;
        if (hasIPv4Tail && rest.empty() && IsEmbeddedIPv4Prefix(groups, count)) return true;
    }
    if (!rest.empty() || hasIPv4Tail) return false;
    size_t n = list.size();
    return !(n >= 2 && list[n - 1] == u':' && HexSet().Contains(list[n - 2]));
}

bool IsEmbeddedIPv4Prefix(const View* groups, int count) {
    if (count != 6) return false;
    for (int i = 0; i < 6; ++i) {
        if (!IsGroup(groups[i])) return false;
        int64_t value = HexValue(groups[i]);
        if (value != 0 && !(i == 5 && value == 0xFFFF)) return false;
    }
    return true;
}

Split SplitGroup(View text, View* group, View* rest) {
    return SplitFirstPiece(text, u':', IsGroup, group, rest);
}

bool IsIPv4Tail(View text) {
    View octet, rest;
    for (int i = 0; i < 3; ++i) {
        if (SplitOctet(text, &octet, &rest) != Split::kOk) return false;
        text = rest;
    }
    if (SplitOctet(text, &octet, &rest) != Split::kOk) return false;
    // The fourth octet must be all that is left: no further "." and nothing after it.
    return !octet.empty() && octet.size() == text.size() && rest.empty();
}

bool IsPrefix(View text) {
    if (text.empty() || HasCharOutside(text, DigitSet()) || text.size() > 3) return false;
    int value = 0;
    for (char16_t ch : text) value = value * 10 + (ch - u'0');
    return value <= 128;
}

bool IsScopeId(View text) {
    if (text.empty() || text == View(u" ")) return false;
    if (HasCharOutside(text, HexSet())) return false;
    static const int64_t kLowest = HexValue(u"0");
    static const int64_t kHighest = HexValue(u"FFFFFFFF");
    int64_t value = HexValue(text);
    return value >= kLowest && value <= kHighest;
}

int64_t HexValue(View text) {
    int64_t result = 0;
    bool saturated = false;
    for (char16_t ch : text) {
        int digit = HexDigitValue(ch);
        if (digit < 0) return 0;  // one foreign character voids the whole text
        if (saturated) continue;
        if (result > (INT64_MAX - digit) / 16) {
            result = INT64_MAX;
            saturated = true;
        } else {
            result = result * 16 + digit;
        }
    }
    return result;
}

}  // namespace ip_text

bool CIPFormat::IsValidIPV6Address(CString address) {
    return ip_text::IsIPv6(address.View());
}

bool CIPFormat::IsIPv6HostInfo(CString address) {
    return ip_text::IsIPv6(address.View());
}

bool CIPFormat::GetIPDataInIPv6HostInfo(CString host, CString& ipv6Part, CString& ipv4Tail) {
    ip_text::View part, tail;
    switch (ip_text::SplitHostText(host.View(), &part, &tail)) {
        case ip_text::Split::kOk:
            ipv6Part = ip_text::PieceOf(host, part);
            ipv4Tail = ip_text::PieceOf(host, tail);
            return true;
        case ip_text::Split::kRejectEmptied:
            ipv6Part.Empty();
            ipv4Tail.Empty();
            return false;
        case ip_text::Split::kRejectUnchanged:
            break;
    }
    return false;
}

bool CIPFormat::GetIPv6IPData(CString ipv6Part, bool hasIPv4Tail) {
    return ip_text::IsIPv6Part(ipv6Part.View(), hasIPv4Tail);
}

bool CIPFormat::PreCheckIPv6IPData(CString ipv6Part, bool, CString& bare) {
    ip_text::View bareView;
    if (!ip_text::PreCheck(ipv6Part.View(), &bareView)) return false;
    bare = ip_text::PieceOf(ipv6Part, bareView);
    return true;
}

bool CIPFormat::ParseCompressIPv6IPData(CString text, CString& front, CString& back) {
    ip_text::View frontView, backView;
    if (!ip_text::ParseCompress(text.View(), &frontView, &backView)) return false;
    front = CString(frontView);
    back = CString(backView);
    return true;
}

bool CIPFormat::IsCompressIPv6IPData(CString front, CString back) {
    return ip_text::IsCompressed(front.View(), back.View());
}

bool CIPFormat::IsAfterCompressIPv6IPData(CString& groups) {
    // Cuts each group off the caller's text once it has passed, as callers are told.
    ip_text::View rest = groups.View();
    int count = 0;
    bool ok = true;
    for (;;) {
        size_t colon = rest.find(u':');
        if (!ip_text::IsGroup(rest.substr(0, colon))) {
            ok = false;
            break;
        }
        ++count;
        if (colon == ip_text::View::npos) break;
        rest.remove_prefix(colon + 1);
    }
    groups = CString(rest);
    return ok && count <= 7;
}

bool CIPFormat::IsFrontCompressIPv6IPData(CString& groups) {
    return IsAfterCompressIPv6IPData(groups);
}

bool CIPFormat::IsUnCompressIPv6IPData(CString groups, bool hasIPv4Tail) {
    return ip_text::IsUncompressed(groups.View(), hasIPv4Tail);
}

bool CIPFormat::IsIPv6AddressesWithEmbeddedIPv4Addresses(StringList groups) {
    if (groups.size() != 6) return false;
    ip_text::View views[6];
    for (size_t i = 0; i < 6; ++i) views[i] = groups[i].View();
    return ip_text::IsEmbeddedIPv4Prefix(views, 6);
}

bool CIPFormat::GetIPv6ShortData(CString text, CString& group, CString& rest) {
    ip_text::View groupView, restView;
    switch (ip_text::SplitGroup(text.View(), &groupView, &restView)) {
        case ip_text::Split::kOk:
            group = ip_text::PieceOf(text, groupView);
            rest = CString(restView);
            return true;
        case ip_text::Split::kRejectEmptied:
            group.Empty();
            rest.Empty();
            return false;
        case ip_text::Split::kRejectUnchanged:
            break;
    }
    return false;
}

bool CIPFormat::GetShortData(CString text) {
    return ip_text::IsGroup(text.View());
}

bool CIPFormat::GetIPv4ByteDataInIPv6HostInfo(CString text) {
    return ip_text::IsIPv4Tail(text.View());
}

bool CIPFormat::IsValidIPv6Prefix(CString text) {
    return ip_text::IsPrefix(text.View());
}

bool CIPFormat::IsValidIPv6Prefix(int prefix) {
    CString text;
    text.Format(u"%d", prefix);
    return ip_text::IsPrefix(text.View());
}

bool CIPFormat::IsValidScopeId(CString text) {
    return ip_text::IsScopeId(text.View());
}

int64_t CIPFormat::HexCString2long(CString text) {
    return ip_text::HexValue(text.View());
}
