#include "util/files/text_codec.h"

#include <cstring>

#include "util/base/utf.h"

namespace common {
namespace sdk {
namespace file_util {
namespace internal {
namespace {

constexpr char16_t kReplacement = util_base::kReplacementChar;
constexpr uint64_t kHighBits = 0x8080808080808080ULL;
constexpr uint64_t kOnes = 0x0101010101010101ULL;

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Eight bytes that are all ASCII and none of them a CR: copied without further checks.
bool PlainAsciiBlock(const uint8_t* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    const uint64_t cr = word ^ (kOnes * '\r');
    return ((word & kHighBits) | ((cr - kOnes) & ~cr & kHighBits)) == 0;
}

char16_t Utf16LeUnit(const uint8_t* p) {
    return static_cast<char16_t>(p[0] | (p[1] << 8));
}

}  // namespace

size_t TextDecoder::Decode(const uint8_t* in, size_t size, bool last, char16_t* out,
                           size_t* consumed) {
    return encoding_ == ByteEncoding::kUtf8 ? DecodeUtf8(in, size, last, out, consumed)
                                            : DecodeUtf16Le(in, size, last, out, consumed);
}

size_t TextDecoder::DecodeUtf8(const uint8_t* in, size_t size, bool last, char16_t* out,
                               size_t* consumed) {
    const uint8_t* p = in;
    const uint8_t* const end = in + size;
    char16_t* o = out;
    while (p < end) {
        if (!afterCr_) {
            while (end - p >= 8 && PlainAsciiBlock(p)) {
                for (int i = 0; i < 8; ++i) o[i] = p[i];
                o += 8;
                p += 8;
            }
            if (p == end) break;
        }
        const uint8_t b = *p;
        if (b < 0x80) {
            ++p;
            if (b == '\n' && afterCr_) {
                afterCr_ = false;
            } else {
                afterCr_ = b == '\r' && fold_;
                *o++ = afterCr_ ? u'\n' : b;
            }
            continue;
        }
        afterCr_ = false;
        const util_base::Utf8Lead lead = util_base::ClassifyUtf8Lead(b);
        if (lead.need == 0) {
            *o++ = kReplacement;
            ++p;
            continue;
        }
        const int need = lead.need;
        uint32_t cp = lead.bits;
        uint8_t lo = lead.lo, hi = lead.hi;
        const uint8_t* q = p + 1;
        bool valid = true;
        for (int i = 0; i < need; ++i, ++q, lo = 0x80, hi = 0xBF) {
            if (q == end) {
                if (!last) {  // the next chunk may complete the sequence
                    *consumed = static_cast<size_t>(p - in);
                    return static_cast<size_t>(o - out);
                }
                valid = false;
                break;
            }
            if (*q < lo || *q > hi) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (*q & 0x3F);
        }
        p = q;
        if (!valid) {
            *o++ = kReplacement;  // one per maximal ill-formed subsequence
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *o++ = static_cast<char16_t>(cp);
        }
    }
    *consumed = static_cast<size_t>(p - in);
    return static_cast<size_t>(o - out);
}

size_t TextDecoder::DecodeUtf16Le(const uint8_t* in, size_t size, bool last, char16_t* out,
                                  size_t* consumed) {
    const uint8_t* p = in;
    const uint8_t* const end = in + size;
    char16_t* o = out;
    while (end - p >= 2) {
        const char16_t u = Utf16LeUnit(p);
        if (u == u'\n' && afterCr_) {
            afterCr_ = false;
            p += 2;
            continue;
        }
        afterCr_ = u == u'\r' && fold_;
        if (afterCr_) {
            *o++ = u'\n';
            p += 2;
        } else if (IsHighSurrogate(u)) {
            if (end - p < 4) {
                if (!last) break;  // the low surrogate may come with the next chunk
                *o++ = kReplacement;
                p += 2;
            } else if (IsLowSurrogate(Utf16LeUnit(p + 2))) {
                *o++ = u;
                *o++ = Utf16LeUnit(p + 2);
                p += 4;
            } else {
                *o++ = kReplacement;
                p += 2;
            }
        } else {
            *o++ = IsLowSurrogate(u) ? kReplacement : u;
            p += 2;
        }
    }
    if (last && p < end) {  // everything left over is malformed now
        while (end - p >= 2) *o++ = kReplacement, p += 2;
        if (p < end) *o++ = kReplacement, p = end;
        afterCr_ = false;
    }
    *consumed = static_cast<size_t>(p - in);
    return static_cast<size_t>(o - out);
}

std::u16string DecodeText(std::string_view bytes, ByteEncoding encoding, bool foldLineEnds) {
    std::u16string text(bytes.size(), u'\0');
    TextDecoder decoder(encoding, foldLineEnds);
    size_t consumed = 0;
    text.resize(decoder.Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), true,
                               text.data(), &consumed));
    return text;
}

size_t FoldLineEnds(char16_t* text, size_t length) {
    size_t w = 0;
    for (size_t r = 0; r < length; ++r) {
        if (text[r] == u'\r') {
            text[w++] = u'\n';
            if (r + 1 < length && text[r + 1] == u'\n') ++r;
        } else {
            text[w++] = text[r];
        }
    }
    return w;
}

void AppendUtf8(std::string& out, std::u16string_view text) {
    out += util_base::Utf16ToUtf8(text);
}

void AppendUtf16Le(std::string& out, std::u16string_view text) {
    out.reserve(out.size() + text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t u = text[i];
        if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            out += static_cast<char>(u & 0xFF);
            out += static_cast<char>(u >> 8);
            u = text[++i];
        } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
            u = kReplacement;
        }
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
}

}  // namespace internal
}  // namespace file_util
}  // namespace sdk
}  // namespace common
