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
// A character that is no hexadecimal digit weighs more than a group may hold, so that the
// piece it stands in is never a group.
constexpr size_t kForeignWeight = 5;

// A list may end in a group or in "::", never in a single colon after a group.
bool EndsInSingleColon(View list) {
    const size_t n = list.size();
    return n >= 2 && list[n - 1] == u':' && IsHexDigit(list[n - 2]);
}

// The checks of PreCheck on a walked part: only hexadecimal digits and ":" before the first
// "/", a prefix after it (which admits digits only), and no single final colon.
bool PreCheckShape(View part, const ListShape& shape, View* bare, int* prefix) {
    if (shape.foreign) return false;
    if (shape.end < part.size() && !IsPrefix(part.substr(shape.end + 1), prefix)) return false;
    *bare = part.substr(0, shape.end);
    return !EndsInSingleColon(*bare);
}

// The "::" split of a walked text: exactly one "::" (":::" counts as two).
bool SplitAtDoubleColon(View text, const ListShape& shape, View* front, View* back) {
    if (shape.firstDouble == kNone || shape.secondDouble) return false;
    *front = text.substr(0, shape.firstDouble);
    *back = text.substr(shape.firstDouble + 2);
    return true;
}

// The uncompressed forms on a walked list: eight groups; or, before a tail, six groups of the
// embedded kind (a seventh, empty piece may follow: the loop of single-group splits stops
// as soon as the six are taken) or the single ":" that "::" leaves before a tail written right
// after it (::192.0.2.1).
bool IsUncompressedShape(View list, const ListShape& shape, bool hasIPv4Tail) {
    if (!hasIPv4Tail) return shape.pieces == 8 && shape.badPieces == 0;
    if (list == View(u":")) return true;
    const bool six = shape.pieces == 6 && shape.badPieces == 0;
    const bool sixThenColon = shape.pieces == 7 && shape.badPieces == 1 && list.back() == u':';
    if (!six && !sixThenColon) return false;
    View groups[6];
    for (int i = 0; i < 6; ++i) {
        const size_t colon = list.find(u':');
        groups[i] = list.substr(0, colon);
        if (colon != kNone) list.remove_prefix(colon + 1);
    }
    return IsEmbeddedIPv4Prefix(groups, 6);
}

// The layers of GetIPv6IPData on a part walked up to its first "/".
bool IsIPv6PartShape(View part, const ListShape& shape, bool hasIPv4Tail, IPv6Parts* parts) {
    View bare;
    int prefix = 0;
    if (!PreCheckShape(part, shape, &bare, &prefix)) return false;
    View front = bare, back;
    const bool compressed = shape.firstDouble != kNone;
    if (!compressed) {
        if (!IsUncompressedShape(bare, shape, hasIPv4Tail)) return false;
    } else {
        if (!SplitAtDoubleColon(bare, shape, &front, &back)) return false;
        // Each side that is written must be all groups; together at most seven, or five
        // before a tail.
        const int backPieces = shape.pieces - shape.frontPieces - 1;
        const int backBad = shape.badPieces - shape.frontBad - 1;
        if (!front.empty() && shape.frontBad != 0) return false;
        if (!back.empty() && backBad != 0) return false;
        const int groups =
            (front.empty() ? 0 : shape.frontPieces) + (back.empty() ? 0 : backPieces);
        if (groups >
            (hasIPv4Tail ? kMaxGroupsBesideCompressionBeforeTail : kMaxGroupsBesideCompression))
            return false;
    }
    if (parts) {
        parts->ipv6Part = bare;
        parts->prefix = prefix;
        parts->front = front;
        parts->back = back;
        parts->compressed = compressed;
    }
    return true;
}

}  // namespace

bool IsIPv6(View text, IPv6Parts* parts) {
    // Most addresses are groups alone, perhaps with a scope ID. One walk over the groups that
    // ends at the first "/", "." or "%" therefore finds the host text and checks its groups at
    // once when it ends at "%" or at the end: a host without "." has no tail, and without "/"
    // no prefix. Other texts are cut first and their IPv6 part walked on its own.
    const ListShape groups = ScanList(text, kStopAtPrefix | StopAt(u'.') | StopAt(u'%'));
    const bool groupsOnly = groups.end == text.size() || text[groups.end] == u'%';
    HostShape host;
    if (groupsOnly)
        host.size = groups.end;  // no "." in it, so nothing to cut
    else
        host = ScanHost(text, true);
    View scope;
    if (host.size < text.size()) {
        scope = text.substr(host.size + 1);
        if (!IsScopeId(scope)) return false;
    }
    // The host's own characters need no walk of their own: every layer below admits only
    // characters of the host set (hexadecimal digits, ":", "." and "/") in its piece.
    View part, tail;
    if (!CutHost(text.substr(0, host.size), host, &part, &tail)) return false;
    const bool hasTail = !tail.empty();
    if (groupsOnly ? !IsIPv6PartShape(part, groups, false, parts)
                   : !IsIPv6Part(part, hasTail, parts))
        return false;
    int octets[4];
    if (hasTail && !ParseIPv4(tail, parts ? parts->tailOctets : octets)) return false;
    if (parts) {
        parts->ipv4Tail = tail;
        parts->scopeId = scope;
    }
    return true;
}

HostShape ScanHost(View text, bool stopAtPercent) {
    HostShape shape;
    // The last three dots, each with the last colon before it, in a ring.
    size_t dot[3] = {kNone, kNone, kNone}, colonBefore[3] = {kNone, kNone, kNone};
    size_t lastColon = kNone;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        const char16_t ch = text[i];
        if (ch == u':') {
            lastColon = i;
        } else if (ch == u'.') {
            dot[shape.dots % 3] = i;
            colonBefore[shape.dots % 3] = lastColon;
            ++shape.dots;
        } else if (ch == u'%' && stopAtPercent) {
            break;
        }
    }
    shape.size = i;
    if (shape.dots >= 3) {
        shape.tailDot = dot[shape.dots % 3];  // the oldest of the last three
        shape.cutColon = colonBefore[shape.dots % 3];
    }
    return shape;
}

bool CutHost(View host, const HostShape& shape, View* ipv6Part, View* ipv4Tail) {
    if (shape.dots == 0) {
        *ipv6Part = host;
        *ipv4Tail = View();
        return true;
    }
    // The rightmost three dots belong to the tail; its first octet follows the last ":" before
    // them.
    if (host.back() == u'.' || shape.tailDot == kNone) return false;
    if (shape.cutColon == kNone || shape.cutColon + 1 == shape.tailDot) return false;
    *ipv6Part = host.substr(0, shape.cutColon);
    *ipv4Tail = host.substr(shape.cutColon + 1);
    return true;
}

Split SplitHostText(View host, View* ipv6Part, View* ipv4Tail) {
    if (!CutHost(host, ScanHost(host, false), ipv6Part, ipv4Tail)) return Split::kRejectUnchanged;
    const bool hasTail = !ipv4Tail->empty();
    if (!IsIPv6Part(*ipv6Part, hasTail) || (hasTail && !IsIPv4Tail(*ipv4Tail))) {
        *ipv6Part = View();
        *ipv4Tail = View();
        return Split::kRejectEmptied;
    }
    return Split::kOk;
}

ListShape ScanList(View list, uint64_t stops) {
    ListShape shape;
    size_t weight = 0;  // of the current piece: 1 per hexadecimal digit, kForeignWeight otherwise
    size_t i = 0;
    for (; i < list.size(); ++i) {
        const char16_t ch = list[i];
        if (IsHexDigit(ch)) {
            ++weight;
        } else if (ch == u':') {
            if (weight == 0 && i > 0) {
                // The second colon of a "::": the empty piece it closes is no group.
                if (shape.firstDouble == kNone) {
                    shape.firstDouble = i - 1;
                    shape.frontPieces = shape.pieces;
                    shape.frontBad = shape.badPieces;
                } else {
                    shape.secondDouble = true;
                }
            }
            shape.badPieces += weight - 1 >= 4;  // empty (wraps round) or above four
            ++shape.pieces;
            weight = 0;
        } else if (ch < 64 && ((stops >> ch) & 1)) {
            break;
        } else {
            shape.foreign = true;
            weight += kForeignWeight;
        }
    }
    shape.end = i;
    shape.badPieces += weight - 1 >= 4;
    ++shape.pieces;
    return shape;
}

bool IsIPv6Part(View part, bool hasIPv4Tail, IPv6Parts* parts) {
    return IsIPv6PartShape(part, ScanList(part, kStopAtPrefix), hasIPv4Tail, parts);
}

bool PreCheck(View part, View* bare) {
    int prefix;
    return PreCheckShape(part, ScanList(part, kStopAtPrefix), bare, &prefix);
}

bool ParseCompress(View text, View* front, View* back) {
    return SplitAtDoubleColon(text, ScanList(text, kStopNowhere), front, back);
}

int CountGroups(View list) {
    const ListShape shape = ScanList(list, kStopNowhere);
    return shape.badPieces == 0 ? shape.pieces : -1;
}

bool IsCompressed(View front, View back) {
    int frontGroups = CountGroups(front);
    int backGroups = CountGroups(back);
    return frontGroups >= 0 && backGroups >= 0 &&
           frontGroups + backGroups <= kMaxGroupsBesideCompression;
}

bool IsUncompressed(View list, bool hasIPv4Tail) {
    return IsUncompressedShape(list, ScanList(list, kStopNowhere), hasIPv4Tail);
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
    // Exactly four octets with single dots between them: the dotted-decimal grammar itself.
    int octets[4];
    return ParseIPv4(text, octets);
}

bool IsPrefix(View text, int* value) {
    if (text.empty() || text.size() > 3) return false;
    int number = 0;
    for (char16_t ch : text) {
        if (!IsAsciiDigit(ch)) return false;
        number = number * 10 + (ch - u'0');
    }
    if (number > 128) return false;
    if (value) *value = number;
    return true;
}

bool IsScopeId(View text) {
    // Hexadecimal digits only, with a value from 0 to FFFFFFFF however many leading zeros.
    if (text.empty()) return false;
    uint64_t value = 0;
    for (char16_t ch : text) {
        const unsigned digit = HexDigit(ch);
        if (digit == kNotHex) return false;
        value = value * 16 + digit;
        if (value > 0xFFFFFFFFu) return false;
    }
    return true;
}

int64_t HexValue(View text) {
    int64_t result = 0;
    bool saturated = false;
    for (char16_t ch : text) {
        const unsigned digit = HexDigit(ch);
        if (digit == kNotHex) return 0;  // one foreign character voids the whole text
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
