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

constexpr uint8_t kCtrlZ = 0x1A;

// Where the first Ctrl-Z is: a byte, or a whole little-endian unit 001A at an even offset.
// size when there is none.
size_t FindCtrlZByte(const uint8_t* in, size_t size) {
    const void* at = std::memchr(in, kCtrlZ, size);
    return at ? static_cast<size_t>(static_cast<const uint8_t*>(at) - in) : size;
}
size_t FindCtrlZUnit(const uint8_t* in, size_t size) {
    for (size_t from = 0; from + 2 <= size;) {
        const void* at = std::memchr(in + from, kCtrlZ, size - from - 1);
        if (!at) break;
        const size_t offset = static_cast<size_t>(static_cast<const uint8_t*>(at) - in);
        if (offset % 2 == 0 && in[offset + 1] == 0) return offset;
        from = offset + 1;
    }
    return size;
}

}  // namespace

size_t TextDecoder::Decode(const uint8_t* in, size_t size, bool last, char16_t* out,
                           size_t* consumed) {
    if (ended_) {  // everything after the Ctrl-Z is not text
        *consumed = size;
        return 0;
    }
    if (textMode_) {
        // The text ends at the first Ctrl-Z: the bytes before it are decoded as the end of the
        // file (a sequence cut off by it is malformed), the rest is consumed unread.
        const size_t stop =
            encoding_ == ByteEncoding::kUtf8 ? FindCtrlZByte(in, size) : FindCtrlZUnit(in, size);
        if (stop < size) {
            size_t used = 0;
            ended_ = true;
            const size_t written = encoding_ == ByteEncoding::kUtf8
                                       ? DecodeUtf8(in, stop, true, out, &used)
                                       : DecodeUtf16Le(in, stop, true, out, &used);
            *consumed = size;
            return written;
        }
    }
    return encoding_ == ByteEncoding::kUtf8 ? DecodeUtf8(in, size, last, out, consumed)
                                            : DecodeUtf16Le(in, size, last, out, consumed);
}

// Malformed UTF-8 becomes U+FFFD as Windows' own UTF-8 conversion makes it, so that a file
// reads alike on every platform:
//   - a byte that cannot start a sequence (80-BF, C0, C1, F5-FF): one U+FFFD for it;
//   - a start byte whose sequence would reach past the end of the text: one U+FFFD for it and
//     every byte after it ("ab" E2 78 -> "ab" U+FFFD; the 78 is part of the broken end);
//   - a second byte that is a continuation byte but outside the range the start byte allows
//     (an overlong form, a surrogate, a code point above U+10FFFF): one U+FFFD for both bytes
//     (E0 80 80 -> U+FFFD U+FFFD);
//   - any other byte that is not a continuation byte: one U+FFFD for the start byte and the
//     continuation bytes before it; decoding goes on at that byte (E2 82 78 -> U+FFFD "x").
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
        if (end - p <= lead.need) {
            if (!last) break;  // the next chunk decides
            *o++ = kReplacement;
            p = end;
            break;
        }
        uint32_t cp = lead.bits;
        const uint8_t* q = p + 1;
        bool valid = true;
        for (int i = 0; i < lead.need; ++i, ++q) {
            const bool continuation = *q >= 0x80 && *q <= 0xBF;
            if (!continuation || (i == 0 && (*q < lead.lo || *q > lead.hi))) {
                if (continuation) ++q;  // a second byte out of range goes with the start byte
                valid = false;
                break;
            }
            cp = (cp << 6) | (*q & 0x3F);
        }
        p = q;
        if (!valid) {
            *o++ = kReplacement;
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

// UTF-16 units pass as they are, unpaired surrogates included (the text is UTF-16 already);
// an odd last byte of the file is dropped.
size_t TextDecoder::DecodeUtf16Le(const uint8_t* in, size_t size, bool last, char16_t* out,
                                  size_t* consumed) {
    const uint8_t* p = in;
    const uint8_t* const end = in + size;
    char16_t* o = out;
    while (end - p >= 2) {
        const char16_t u = Utf16LeUnit(p);
        p += 2;
        if (u == u'\n' && afterCr_) {
            afterCr_ = false;
            continue;
        }
        afterCr_ = u == u'\r' && fold_;
        *o++ = afterCr_ ? u'\n' : u;
    }
    if (last) p = end;
    *consumed = static_cast<size_t>(p - in);
    return static_cast<size_t>(o - out);
}

std::u16string DecodeText(std::string_view bytes, ByteEncoding encoding, bool foldLineEnds,
                          bool textMode) {
    std::u16string text(bytes.size(), u'\0');
    TextDecoder decoder(encoding, foldLineEnds, textMode);
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
