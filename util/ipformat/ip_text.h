#ifndef UTIL_IPFORMAT_IP_TEXT_H
#define UTIL_IPFORMAT_IP_TEXT_H

// The engine behind CIPFormat, working on views of the caller's text so that validating or
// comparing an address allocates nothing. CIPFormat's members are thin adapters between these
// functions and the CString arguments of the interface; each function here implements exactly
// the contract documented at the CIPFormat member of the same purpose.

#include <cstdint>
#include <string_view>

#include "util/base/cstring.h"

// The module's constant character sets, defined in util/module.cpp so that they are built
// before any exported function can run.
extern const CString g_strDigits;             // "0123456789"
extern const CString g_strHexDigits;          // "0123456789abcdefABCDEF"
extern const CString g_strIPv6PreCheckChars;  // "0123456789abcdefABCDEF:/"
extern const CString g_strDot;                // "."

namespace ip_text {

using View = std::u16string_view;

// A set of allowed characters with a bit table for ASCII, so that membership is one lookup.
class CharSet {
  public:
    explicit CharSet(View members) : wide_(members) {
        for (char16_t ch : members)
            if (ch < 128) bits_[ch >> 6] |= uint64_t{1} << (ch & 63);
    }
    bool Contains(char16_t ch) const {
        if (ch < 128) return (bits_[ch >> 6] >> (ch & 63)) & 1;
        return wide_.find(ch) != View::npos;
    }

  private:
    uint64_t bits_[2] = {0, 0};
    View wide_;  // the whole set, searched for characters beyond ASCII
};

// Lookup tables of the module's sets, built at module load right after the sets themselves
// (util/module.cpp), so that a validator's character test is one table lookup.
extern const CharSet g_digitSet;          // g_strDigits
extern const CharSet g_hexSet;            // g_strHexDigits
extern const CharSet g_preCheckSet;       // g_strIPv6PreCheckChars
extern const CString g_strIPv6HostChars;  // g_strHexDigits + ":" + g_strDot + "/"
extern const CharSet g_hostSet;           // g_strIPv6HostChars
inline const CharSet& DigitSet() {
    return g_digitSet;
}
inline const CharSet& HexSet() {
    return g_hexSet;
}
inline const CharSet& PreCheckSet() {
    return g_preCheckSet;
}
inline const CharSet& HostSet() {
    return g_hostSet;
}

inline bool HasCharOutside(View text, const CharSet& allowed) {
    for (char16_t ch : text)
        if (!allowed.Contains(ch)) return true;
    return false;
}
// The position of the first "::" at or after `from`, or View::npos.
inline size_t FindDoubleColon(View text, size_t from) {
    for (size_t i = from; i + 1 < text.size(); ++i)
        if (text[i] == u':' && text[i + 1] == u':') return i;
    return View::npos;
}
inline bool IsAsciiDigit(char16_t ch) {
    return ch >= u'0' && ch <= u'9';
}
View TrimSpace(View text);
// The piece as a CString, sharing the whole text's buffer when the piece is all of it.
inline CString PieceOf(const CString& whole, View piece) {
    if (piece.data() == whole.GetString() && piece.size() == size_t(whole.GetLength()))
        return whole;
    return CString(piece);
}

// --- IPv4 ------------------------------------------------------------------------------------
bool ParseIPv4(View text, int octets[4]);
bool IsOctet(View text);
enum class Split { kOk, kRejectUnchanged, kRejectEmptied };

// Takes the first piece of text up to separator into *piece and the text after the separator
// into *rest, when isPiece accepts the piece. A text without the separator is the last piece.
// On rejection the outputs are not written; the answer tells the caller which rejection it was:
// kRejectEmptied for a bad last piece, kRejectUnchanged for a bad piece before a separator.
template <class IsPiece>
Split SplitFirstPiece(View text, char16_t separator, IsPiece isPiece, View* piece, View* rest) {
    const size_t at = text.find(separator);
    if (at == View::npos) {
        if (!isPiece(text)) return Split::kRejectEmptied;
        *piece = text;
        *rest = View();
        return Split::kOk;
    }
    if (!isPiece(text.substr(0, at))) return Split::kRejectUnchanged;
    *piece = text.substr(0, at);
    *rest = text.substr(at + 1);
    return Split::kOk;
}

Split SplitOctet(View text, View* octet, View* rest);

// --- IPv6 validation -------------------------------------------------------------------------
bool IsIPv6(View text);
Split SplitHostText(View host, View* ipv6Part, View* ipv4Tail);
// The cut of SplitHostText without validating the halves; false when the text cannot be cut.
bool CutHost(View host, View* ipv6Part, View* ipv4Tail);
bool IsIPv6Part(View part, bool hasIPv4Tail);
bool PreCheck(View part, View* bare);
bool ParseCompress(View text, View* front, View* back);
// Every piece between ":" is a group; answers the number of pieces, or -1 when one is bad.
int CountGroups(View list);
bool IsCompressed(View front, View back);
bool IsUncompressed(View list, bool hasIPv4Tail);
bool IsEmbeddedIPv4Prefix(const View* groups, int count);
Split SplitGroup(View text, View* group, View* rest);
// One to four hexadecimal digits.
inline bool IsGroup(View text) {
    return !text.empty() && text.size() <= 4 && !HasCharOutside(text, HexSet());
}
bool IsIPv4Tail(View text);
bool IsPrefix(View text);
bool IsScopeId(View text);
int64_t HexValue(View text);

// --- Decomposition ---------------------------------------------------------------------------
struct IPv6Parts {
    View ipv6Part;  // groups without "/prefix"
    View ipv4Tail;
    int prefix = 0;
    View scopeId;
};
// Cuts a text that IsIPv6 has accepted; the views point into `text`.
void CutValidIPv6(View text, IPv6Parts* parts);
// The run of ASCII digits right after the first "/" (position of the "/" in *slash, or -1).
int ReadPrefixDigits(View text, size_t* slash, size_t* digits);

// --- Comparison ------------------------------------------------------------------------------
// Expands an IPv6 part into eight groups; groups written after a "::" end at `lastGroup`.
void ExpandGroups(View part, int lastGroup, View groups[8]);
bool SameMainPart(View first, int firstLastGroup, View second, int secondLastGroup);
bool SameIPv4Fields(View first, View second);
// Both texts valid IPv6: prefix, scope ID, groups and tail agree.
bool SameValidIPv6(View first, View second);
int Classify(View text);  // CIPFormat::IPAddressStatus
bool SameAddress(View first, View second);

}  // namespace ip_text

#endif  // UTIL_IPFORMAT_IP_TEXT_H
