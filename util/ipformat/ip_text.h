#ifndef UTIL_IPFORMAT_IP_TEXT_H
#define UTIL_IPFORMAT_IP_TEXT_H

// The engine behind CIPFormat, working on views of the caller's text so that validating or
// comparing an address allocates nothing and copies nothing. CIPFormat's members are thin
// adapters between these functions and the CString arguments of the interface; each function
// here implements exactly the contract documented at the CIPFormat member of the same purpose.
//
// Speed: every layer of the IPv6 validator reads its piece of the text once. A layer first walks
// its text into a summary of what it holds (ScanHost, ScanList), and the rules are decided on
// that summary; character classes are one table lookup. The validator hands its cut of the text
// (IPv6Parts) to the decomposition and comparison, which therefore never validate twice.

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
constexpr size_t kNone = View::npos;

// A set of allowed characters with a bit table for ASCII, so that membership is one lookup. Used
// where the set is the caller's (IsExistBanChar); the grammar's own sets are the table below.
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

// The value of each character of g_strHexDigits ("0123456789abcdefABCDEF"), and kNotHex for
// every other character: membership in the set and the digit's value in one lookup.
constexpr uint8_t kNotHex = 0xFF;
struct HexTable {
    uint8_t value[128];
};
constexpr HexTable MakeHexTable() {
    HexTable table{};
    for (int ch = 0; ch < 128; ++ch) table.value[ch] = kNotHex;
    for (int d = 0; d < 10; ++d) table.value['0' + d] = static_cast<uint8_t>(d);
    for (int d = 0; d < 6; ++d) {
        table.value['a' + d] = static_cast<uint8_t>(10 + d);
        table.value['A' + d] = static_cast<uint8_t>(10 + d);
    }
    return table;
}
inline constexpr HexTable kHexTable = MakeHexTable();

inline unsigned HexDigit(char16_t ch) {
    return ch < 128 ? kHexTable.value[ch] : kNotHex;
}
inline bool IsHexDigit(char16_t ch) {
    return HexDigit(ch) != kNotHex;
}
// The characters of g_strDigits.
inline bool IsAsciiDigit(char16_t ch) {
    return static_cast<unsigned>(ch - u'0') <= 9;
}

inline bool HasCharOutside(View text, const CharSet& allowed) {
    for (char16_t ch : text)
        if (!allowed.Contains(ch)) return true;
    return false;
}
View TrimSpace(View text);
// The piece as a CString, sharing the whole text's buffer when the piece is all of it.
inline CString PieceOf(const CString& whole, View piece) {
    if (piece.data() == whole.GetString() && piece.size() == size_t(whole.GetLength()))
        return whole;
    return CString(piece);
}

// --- IPv4 ------------------------------------------------------------------------------------
// Four runs of ASCII digits with values 0 to 255, separated by single dots, and nothing else;
// the values go to octets. The grammar of IsIPV4Address and of an IPv4 tail alike.
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

// A valid IPv6 text cut into its parts; the views point into the validated text.
struct IPv6Parts {
    View ipv6Part;            // the groups, without "/prefix"
    View ipv4Tail;            // "" when there is none
    int prefix = 0;           // 0 when there is none
    View scopeId;             // "" when there is none
    View front, back;         // the groups before and after the "::" of ipv6Part
    bool compressed = false;  // ipv6Part holds "::"
    int tailOctets[4] = {0, 0, 0, 0};
};

// The validator; a valid text's cut goes to *parts when it is given.
bool IsIPv6(View text, IPv6Parts* parts = nullptr);

// What one walk over a host text finds: where it ends and where the cut before an IPv4 tail
// falls (the last ":" before the third "." from the right).
struct HostShape {
    size_t size = 0;          // the host's length: up to the first "%" when asked, else all
    size_t dots = 0;          // "." characters in the host
    size_t tailDot = kNone;   // the third "." from the right
    size_t cutColon = kNone;  // the last ":" before tailDot
};
HostShape ScanHost(View text, bool stopAtPercent);
// The cut of SplitHostText without validating the halves; false when the text cannot be cut.
bool CutHost(View host, const HostShape& shape, View* ipv6Part, View* ipv4Tail);
Split SplitHostText(View host, View* ipv6Part, View* ipv4Tail);

// What one walk over a group list finds. The list is split at every ":" (empty pieces
// included) and each piece is checked as a group; the first "::" divides the pieces into those
// before it (the front) and those after it (the back), the empty piece between its two colons
// belonging to neither.
struct ListShape {
    size_t end = 0;              // the length walked: up to the first stop character, or all
    bool foreign = false;        // a character that is neither a hexadecimal digit nor ":"
    int pieces = 0;              // all pieces
    int badPieces = 0;           // pieces that are no group
    size_t firstDouble = kNone;  // position of the first "::"
    bool secondDouble = false;   // another "::" starts after the first one's first colon
    int frontPieces = 0;         // pieces before the first "::"
    int frontBad = 0;            // ... of which no group
};
// Characters (below 64) at which ScanList ends its walk, as a bit mask.
constexpr uint64_t StopAt(char16_t ch) {
    return uint64_t{1} << ch;
}
constexpr uint64_t kStopNowhere = 0;
constexpr uint64_t kStopAtPrefix = StopAt(u'/');
ListShape ScanList(View list, uint64_t stops);

bool IsIPv6Part(View part, bool hasIPv4Tail, IPv6Parts* parts = nullptr);
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
    if (text.empty() || text.size() > 4) return false;
    for (char16_t ch : text)
        if (!IsHexDigit(ch)) return false;
    return true;
}
bool IsIPv4Tail(View text);
// 1 to 3 ASCII digits, value up to 128; the value goes to *value when given.
bool IsPrefix(View text, int* value = nullptr);
bool IsScopeId(View text);
int64_t HexValue(View text);

// --- Decomposition ---------------------------------------------------------------------------
// The run of ASCII digits right after the first "/" (position of the "/" in *slash, or npos).
int ReadPrefixDigits(View text, size_t* slash, size_t* digits);

// --- Comparison ------------------------------------------------------------------------------
// Expands an IPv6 part into eight groups; groups written after a "::" end at `lastGroup`.
void ExpandGroups(View part, int lastGroup, View groups[8]);
// The same, for a part already split at its "::" (compressed) or not (front is the whole part).
void ExpandGroups(View front, View back, bool compressed, int lastGroup, View groups[8]);
bool SameMainPart(View first, int firstLastGroup, View second, int secondLastGroup);
bool SameIPv4Fields(View first, View second);
// Two validated texts: prefix, scope ID, groups and tail agree.
bool SameValidIPv6(const IPv6Parts& first, const IPv6Parts& second);
int Classify(View text);  // CIPFormat::IPAddressStatus
bool SameAddress(View first, View second);

}  // namespace ip_text

#endif  // UTIL_IPFORMAT_IP_TEXT_H
