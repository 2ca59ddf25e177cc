#include "util/common/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace std::string_literals;

// The bytes whose Base64 text is the whole alphabet in order: the 6-bit values 0 to 63 packed.
std::string AlphabetBytes() {
    std::string bytes;
    for (unsigned v = 0; v < 64; v += 4) {
        const unsigned group = v << 18 | (v + 1) << 12 | (v + 2) << 6 | (v + 3);
        bytes += {char(group >> 16), char(group >> 8), char(group)};
    }
    return bytes;
}

TEST(Base64, EncodeDecodeAndRoundTrip) {
    // encodes: the text is also the encoder's exact output, else only decoding gives the bytes.
    const std::vector<std::tuple<const char*, std::string, std::string, bool>> rows = {
        {"two = of padding", "foob", "Zm9vYg==", true},
        {"padding is optional", "ab", "YWI", false},
        {"the whole alphabet", AlphabetBytes(),
         "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", true},
        {"unfinished bits dropped", "abc", "YWJjZ", false},
        {"stops at the first =", "a", "YQ==YWJj", false},
        {"white space and foreign bytes skipped", "foobar", " Zm\r\n9v\t*Ym\x80\xFF\x46y", false},
        {"stops at a zero byte", "abc", "YWJj\0YWJj"s, false}};
    for (const auto& [what, bytes, text, encodes] : rows) {
        std::string out = "previous";
        EXPECT_TRUE(!encodes || (Base64::encode(bytes, out) && out == text)) << what << out;
        out = "previous";
        EXPECT_TRUE(Base64::decode(text, out)) << what;
        EXPECT_EQ(out, bytes) << what;
    }
    // No complete byte: false, and the output is left as it was.
    for (const std::string& text :
         {"Y"s, "=YQ"s, "=="s, " \r\n\t*"s, "\xC3\xA9"s, "\0YWJj"s, "Y==="s, "Y\n"s}) {
        std::string out = "unchanged";
        EXPECT_FALSE(Base64::decode(text, out) || out != "unchanged") << text << " gave " << out;
    }

    // Lengths around the three-byte groups and the bulk loops, with every byte value; a line
    // break every few characters must not change the result.
    std::string bytes;
    for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<char>((i * 167 + 13) & 0xFF));
    for (size_t n = 0; n <= bytes.size(); ++n) {
        std::string text = bytes.substr(bytes.size() - n), wrapped;
        ASSERT_TRUE(Base64::encode(text, text));  // the output may be the input
        ASSERT_EQ(text.size(), (n + 2) / 3 * 4);
        for (size_t i = 0; i < text.size(); ++i)
            wrapped += (i % 7 == 6 ? "\n" : "") + text.substr(i, 1);
        for (std::string* back : {&text, &wrapped}) {
            ASSERT_TRUE(Base64::decode(*back, *back));
            ASSERT_EQ(*back, bytes.substr(bytes.size() - n)) << n;
        }
    }
}

}  // namespace
