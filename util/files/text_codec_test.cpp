// Decoding of text-file bytes: malformed input, line ends, and the same result however the
// bytes are cut into chunks.

#include "util/files/text_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using common::sdk::file_util::internal::ByteEncoding;
using common::sdk::file_util::internal::DecodeText;
using common::sdk::file_util::internal::TextDecoder;

struct DecodeCase {
    const char* what;
    std::string bytes;
    ByteEncoding encoding;
    std::u16string expected;
};

constexpr ByteEncoding k8 = ByteEncoding::kUtf8, k16 = ByteEncoding::kUtf16Le;

const DecodeCase kCases[] = {
    {"CR LF, lone CR, CR CR LF", "a\r\nb\rc\r\r\nd\n\re", k8, u"a\nb\nc\n\nd\n\ne"},
    {"CR LF inside long ASCII runs", "0123456789abcdef\r\n0123456789abcdef\r", k8,
     u"0123456789abcdef\n0123456789abcdef\n"},
    {"two, three and four byte forms", "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80", k8,
     u"Grüß € \U0001F600"},
    {"invalid lead bytes", "\xC0\x80x\xFFy", k8, u"\uFFFD\uFFFDx\uFFFDy"},
    {"overlong three- and four-byte forms", "\xE0\x9F\xBF\xF0\x8F\xBF\xBF", k8,
     std::u16string(7, u'\uFFFD')},
    {"encoded surrogate", "\xED\xA0\x80z", k8, u"\uFFFD\uFFFD\uFFFDz"},
    {"above U+10FFFF", "\xF4\x90\x80\x80", k8, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"truncated sequence then ASCII", "\xE2\x82z", k8, u"\uFFFDz"},
    {"truncated sequence at the end", "ab\xF0\x9F\x98", k8, u"ab\uFFFD"},
    {"UTF-16 line ends", std::string("a\0\r\0\n\0b\0\r\0c\0", 12), k16, u"a\nb\nc"},
    {"UTF-16 surrogate pair", std::string("\x3D\xD8\x00\xDE!\0", 6), k16, u"\U0001F600!"},
    {"UTF-16 unpaired surrogates", std::string("\x3D\xD8x\0\x00\xDEy\0\x3D\xD8", 10), k16,
     u"\uFFFDx\uFFFDy\uFFFD"},
    {"UTF-16 odd trailing byte", std::string("a\0b", 3), k16, u"a\uFFFD"},
};

// Decodes bytes fed in chunks that end at the given offsets, passing on what was not consumed.
std::u16string DecodeInPieces(const std::string& bytes, ByteEncoding encoding,
                              std::vector<size_t> ends) {
    TextDecoder decoder(encoding);
    std::u16string out;
    std::string pending;
    ends.push_back(bytes.size());
    for (size_t i = 0, from = 0; i < ends.size(); from = ends[i++]) {
        pending.append(bytes, from, ends[i] - from);
        std::u16string piece(pending.size(), u'\0');
        size_t consumed = 0;
        piece.resize(decoder.Decode(reinterpret_cast<const uint8_t*>(pending.data()),
                                    pending.size(), i + 1 == ends.size(), piece.data(), &consumed));
        out += piece;
        pending.erase(0, consumed);
    }
    EXPECT_TRUE(pending.empty());
    return out;
}

// The same result for the whole input and wherever the chunks end.
TEST(TextDecoderTest, SameResultWhereverTheChunksEnd) {
    for (const DecodeCase& c : kCases) {
        EXPECT_TRUE(DecodeText(c.bytes, c.encoding) == c.expected) << c.what;
        for (size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            EXPECT_TRUE(DecodeInPieces(c.bytes, c.encoding, {cut}) == c.expected)
                << c.what << ", cut at " << cut;
            if (cut + 1 < c.bytes.size()) {
                EXPECT_TRUE(DecodeInPieces(c.bytes, c.encoding, {cut, cut + 1}) == c.expected)
                    << c.what << ", one-byte chunk at " << cut;
            }
        }
    }
}

TEST(TextDecoderTest, WithoutFoldingLineEndsPassUnchanged) {
    EXPECT_TRUE(DecodeText("a\r\nb\r", k8, false) == u"a\r\nb\r");
    EXPECT_TRUE(DecodeText(std::string("\r\0\n\0", 4), k16, false) == u"\r\n");
}

}  // namespace
