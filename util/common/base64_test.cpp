#include "util/common/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

struct Case {
    const char* what;
    std::string bytes, text;
};

TEST(Base64, EncodePadsToWholeGroups) {
    for (const Case& c : std::vector<Case>{
             {"empty", "", ""},
             {"two bytes", "ab", "YWI="},
             {"three bytes", "abc", "YWJj"},
             {"four bytes", "foob", "Zm9vYg=="},
             {"+ and /", "\xFB\xFF\xBE", "+/++"},
         }) {
        std::string out = "previous";
        EXPECT_TRUE(Base64::encode(c.bytes, out)) << c.what;
        EXPECT_EQ(out, c.text) << c.what;
    }
}

TEST(Base64, DecodeSkipsForeignBytesAndStopsAtPaddingOrZero) {
    for (const Case& c : std::vector<Case>{
             {"empty", "", ""},
             {"no padding", "a", "YQ"},
             {"no padding, two bytes", "ab", "YWI"},
             {"unfinished bits dropped", "abc", "YWJjZ"},
             {"white space anywhere", "foobar", " Zm\r\n9v\tYm Fy\n"},
             {"foreign and high bytes", "foobar", "Zm9v*Ym\x80\xFF\x46y"},
             {"stops at the first =", "a", "YQ==YWJj"},
             {"= inside a group", "a", "YW=Jj"},
             {"stops at a zero byte", "abc", "YWJj\0YWJj"s},
             {"every alphabet character",
              "\x00\x10\x83\x10\x51\x87\x20\x92\x8b\x30\xd3\x8f\x41\x14\x93\x51\x55\x97\x61\x96\x9b"
              "\x71\xd7\x9f\x82\x18\xa3\x92\x59\xa7\xa2\x9a\xab\xb2\xdb\xaf\xc3\x1c\xb3\xd3\x5d\xb7"
              "\xe3\x9e\xbb\xf3\xdf\xbf"s,
              "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"},
         }) {
        std::string out = "previous";
        EXPECT_TRUE(Base64::decode(c.text, out)) << c.what;
        EXPECT_EQ(out, c.bytes) << c.what;
    }
}

TEST(Base64, DecodeFailureLeavesOutputUnchanged) {
    for (const std::string& text :
         {"Y"s, "=YQ"s, "=="s, " \r\n\t*"s, "\xC3\xA9"s, "\0YWJj"s, "Y==="s, "Y\n"s}) {
        std::string out = "unchanged";
        EXPECT_FALSE(Base64::decode(text, out)) << text;
        EXPECT_EQ(out, "unchanged") << text;
    }
}

TEST(Base64, RoundTripAtEveryLengthAndAlignment) {
    // Lengths around the three-byte groups and the bulk loops, with every byte value.
    std::string bytes;
    for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<char>((i * 167 + 13) & 0xFF));
    for (size_t n = 0; n <= bytes.size(); ++n) {
        const std::string input = bytes.substr(bytes.size() - n);
        std::string text, back, wrapped, back_wrapped;
        ASSERT_TRUE(Base64::encode(input, text));
        ASSERT_EQ(text.size(), (n + 2) / 3 * 4);
        ASSERT_TRUE(Base64::decode(text, back));  // "" decodes to ""
        ASSERT_EQ(back, input) << n;
        // A line break every few characters must not change the result.
        for (size_t i = 0; i < text.size(); ++i)
            wrapped += (i % 7 == 6 ? "\n" : "") + text.substr(i, 1);
        ASSERT_TRUE(Base64::decode(wrapped, back_wrapped));
        ASSERT_EQ(back_wrapped, input) << n;
    }
}

TEST(Base64, OutputMayBeTheInput) {
    std::string s = "foobar";
    ASSERT_TRUE(Base64::encode(s, s));
    EXPECT_EQ(s, "Zm9vYmFy");
    ASSERT_TRUE(Base64::decode(s, s));
    EXPECT_EQ(s, "foobar");
}

}  // namespace
