#include "util/common/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

TEST(Base64, Encode) {
    struct EncodeCase {
        std::string bytes;
        std::string text;
    };
    for (const EncodeCase& c : std::vector<EncodeCase>{
             {"", ""},
             {"f", "Zg=="},
             {"fo", "Zm8="},
             {"foo", "Zm9v"},
             {"foob", "Zm9vYg=="},
             {"fooba", "Zm9vYmE="},
             {"foobar", "Zm9vYmFy"},
             {"\x01", "AQ=="},
             {"\0"s, "AA=="},
             {"a\0b"s, "YQBi"},
             {"\0\0\0\0"s, "AAAAAA=="},
             {"\xFF\xEF\xBE", "/+++"},
             {"\xFB\xFF", "+/8="},
         }) {
        std::string out = "previous";
        EXPECT_TRUE(Base64::encode(c.bytes, out));
        EXPECT_EQ(out, c.text);
    }
}

TEST(Base64, DecodeSkipsForeignBytesAndStopsAtPaddingOrZero) {
    struct DecodeCase {
        const char* what;
        std::string text;
        std::string bytes;
    };
    for (
        const DecodeCase& c : std::vector<DecodeCase>{
            {"plain", "Zm9vYmFy", "foobar"},
            {"padded", "Zm9vYg==", "foob"},
            {"no padding", "YQ", "a"},
            {"no padding, two bytes", "YWI", "ab"},
            {"unfinished bits dropped", "YWJjZ", "abc"},
            {"white space anywhere", " Zm\r\n9v\tYm Fy\n", "foobar"},
            {"foreign and high bytes",
             "Zm9v*Ym\x80\xFF"
             "Fy",
             "foobar"},
            {"stops at the first =", "YQ==YWJj", "a"},
            {"= inside a group", "YW=Jj", "a"},
            {"stops at a zero byte", "YWJj\0YWJj"s, "abc"},
            {"zero bytes decoded", "AAAAAA==", "\0\0\0\0"s},
            {"long text, skip in the middle", "Zm9vYmFyZm9v Zm9vYmFyZm9vYmFy",
             "foobarfoofoobarfoobar"},
            {"every alphabet character",
             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/",
             "\x00\x10\x83\x10\x51\x87\x20\x92\x8b\x30\xd3\x8f\x41\x14\x93\x51\x55\x97\x61\x96\x9b\x71\xd7\x9f\x82\x18\xa3\x92\x59\xa7\xa2\x9a\xab\xb2\xdb\xaf\xc3\x1c\xb3\xd3\x5d\xb7\xe3\x9e\xbb\xf3\xdf\xbf"s},
        }) {
        std::string out = "previous";
        EXPECT_TRUE(Base64::decode(c.text, out)) << c.what;
        EXPECT_EQ(out, c.bytes) << c.what;
    }

    std::string out = "previous";
    EXPECT_TRUE(Base64::decode("", out));
    EXPECT_EQ(out, "");
}

TEST(Base64, DecodeFailureLeavesOutputUnchanged) {
    for (const std::string& text : std::vector<std::string>{"Y", "=YQ", "==", " \r\n\t*",
                                                            "\xC3\xA9", "\0YWJj"s, "Y===", "Y\n"}) {
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
        std::string text, back;
        ASSERT_TRUE(Base64::encode(input, text));
        ASSERT_EQ(text.size(), (n + 2) / 3 * 4);
        ASSERT_TRUE(Base64::decode(text, back));  // "" decodes to ""
        ASSERT_EQ(back, input) << n;
        // A line break every few characters must not change the result.
        std::string wrapped;
        for (size_t i = 0; i < text.size(); ++i)
            wrapped += (i % 7 == 6 ? "\n" : "") + text.substr(i, 1);
        std::string back_wrapped;
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
