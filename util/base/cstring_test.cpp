#include "util/base/cstring.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "util/testing/cstring_printer.h"

namespace {

template <class... Args>
CString Fmt(const char16_t* format, const Args&... args) {
    CString s(u"previous text");
    s.Format(format, args...);
    return s;
}

CString FmtV(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    CString s(u"previous text");
    s.FormatV(format, args);
    va_end(args);
    return s;
}

template <class T>
struct Row {
    const char* what;
    T actual, expected;
};

template <class T = CString>
void ExpectAll(const std::vector<Row<T>>& rows) {
    for (const Row<T>& r : rows) EXPECT_EQ(r.actual, r.expected) << r.what;
}

const char16_t kGrin[] = u"\U0001F600";  // outside the BMP: two code units

TEST(CStringFormat, ConversionsFlagsWidthsAndPrecision) {
    const char16_t* null_text = nullptr;
    ExpectAll({
        {"mixed", Fmt(u"%s|%d|%u|%i", u"ab", -12, 7u, 3), u"ab|-12|7|3"},
        {"hex", Fmt(u"%x %X %#x %#X %#x", 255, 255, 255, 255, 0), u"ff FF 0xff 0XFF 0"},
        {"octal", Fmt(u"%o %#o", 8, 8), u"10 010"},
        {"char", Fmt(u"[%c%c%3c]", u'Z', 0x263A, u'q'), u"[Z\u263A  q]"},
        {"percent", Fmt(u"100%% %%d"), u"100% %d"},
        {"width", Fmt(u"[%5d][%-5d][%5s][%-5s]", 42, 42, u"ab", u"ab"),
         u"[   42][42   ][   ab][ab   ]"},
        {"zero padding", Fmt(u"[%05d][%05d][%08X][%-05d]", 42, -42, 0xBEEFu, 7),
         u"[00042][-0042][0000BEEF][7    ]"},
        {"sign flags", Fmt(u"[%+d][% d][%+d][%+u]", 5, 5, -5, 5u), u"[+5][ 5][-5][5]"},
        {"int precision", Fmt(u"[%.3d][%8.3d][%08.3d][%.0d]", 7, 7, 7, 0),
         u"[007][     007][     007][]"},
        {"text precision", Fmt(u"[%.2s][%6.2s][%.9s]", u"abcdef", u"abcdef", u"ab"),
         u"[ab][    ab][ab]"},
        {"star width", Fmt(u"[%*d][%*d][%.*s]", 4, 7, -4, 7, 1, u"xyz"), u"[   7][7   ][x]"},
        {"limits", Fmt(u"%d %u %x", INT_MIN, -1, -1), u"-2147483648 4294967295 ffffffff"},
        {"long long", Fmt(u"%lld %llu %I64d", LLONG_MIN, ULLONG_MAX, 1LL << 40),
         u"-9223372036854775808 18446744073709551615 1099511627776"},
        {"size prefixes narrow", Fmt(u"%hd %hhu", 70000, 300), u"4464 44"},
        {"floating", Fmt(u"%.2f %e %g %5.1f", 3.14159, 1.5, 0.0001, -2.25),
         u"3.14 1.500000e+00 0.0001  -2.2"},
        {"null text", Fmt(u"[%s][%5s]", null_text, nullptr), u"[(null)][(null)]"},
        {"narrow UTF-8 text", Fmt(u"%hs|%S", "gr\xC3\xBC\xC3\x9F", "x"), u"gr\u00FC\u00DF|x"},
        {"string objects", Fmt(u"%s+%s", CString(u"cs"), std::u16string(u"u16")), u"cs+u16"},
        {"null format", Fmt(nullptr, 1), u""},
        // A character outside the BMP counts two units for widths and precisions.
        {"non-BMP width", Fmt(u"[%3s]", kGrin), CString(u"[ ") + kGrin + u"]"},
        {"non-BMP left width", Fmt(u"[%-4s]", kGrin), CString(u"[") + kGrin + u"  ]"},
        {"non-BMP precision", Fmt(u"[%.2s]", CString(kGrin) + u"x"), CString(u"[") + kGrin + u"]"},
        {"non-BMP width exactly", Fmt(u"[%2s]", kGrin), CString(u"[") + kGrin + u"]"},
    });
}

TEST(CStringFormat, BadArgumentsAndUnknownConversions) {
    ExpectAll({
        {"missing number", Fmt(u"[%d][%5d][%x]"), u"[0][    0][0]"},
        {"missing text", Fmt(u"[%s][%3s]"), u"[][   ]"},
        {"missing char", Fmt(u"[%c][%3c]", u'a'), u"[a][   ]"},
        {"missing star", Fmt(u"[%*d]"), u"[0]"},
        {"extra arguments", Fmt(u"%d", 1, 2, u"three"), u"1"},
        {"text for a number", Fmt(u"%d", u"text"), u"0"},
        {"number for a text", Fmt(u"%s", 42), u"(null)"},
        {"double for an int", Fmt(u"%d", 2.9), u"2"},
        {"int for a double", Fmt(u"%.1f", 3), u"3.0"},
        {"wide text for %hs", Fmt(u"%hs", u"wide"), u"wide"},
        {"unknown conversion", Fmt(u"%q%d", 1), u"%q1"},
        {"unknown with flags", Fmt(u"%-5y|%d", 2), u"%-5y|2"},
        {"%n is not supported", Fmt(u"%n%d", 5), u"%n5"},
        {"format ends in %", Fmt(u"50%"), u"50%"},
        {"format ends in a conversion", Fmt(u"abc%5", 1), u"abc%5"},
        {"huge width is capped", CString(Fmt(u"%99999999d", 1).Right(3)), u"  1"},
    });
    EXPECT_EQ(Fmt(u"%99999999d", 1).GetLength(), 1 << 16);
}

// The va_list entry point reads every kind of argument the variadic one takes.
TEST(CStringFormat, VaListForm) {
    const char16_t* null_text = nullptr;
    ExpectAll({
        {"mixed", FmtV(u"%s=%d %u %x %c", u"a", -5, 7u, 255u, u'Q'), u"a=-5 7 ff Q"},
        {"long long", FmtV(u"%lld %llu", LLONG_MIN, ULLONG_MAX),
         u"-9223372036854775808 18446744073709551615"},
        {"long and size_t", FmtV(u"%ld %zu", -3L, static_cast<size_t>(9)), u"-3 9"},
        {"narrow and null", FmtV(u"%hs[%s]", "n\xC3\xA4", null_text), u"n\u00E4[(null)]"},
        {"star and double", FmtV(u"[%*d][%.*s]%.3f", 3, 1, 2, u"abc", 2.0), u"[  1][ab]2.000"},
        {"unknown conversion", FmtV(u"%q%d", 4), u"%q4"},
    });
}

TEST(CStringFormat, AppendAndSelfReference) {
    CString s(u"x");
    s.Format(u"%s%s", s, s);  // the arguments are read before the string changes
    EXPECT_EQ(s, u"xx");
    s.AppendFormat(u"-%d-%s", 3, s);
    EXPECT_EQ(s, u"xx-3-xx");
    s.AppendFormat(nullptr);
    EXPECT_EQ(s, u"xx-3-xx");
}

TEST(CString, OutOfRangeArgumentsAreClamped) {
    const CString abc(u"abc");
    ExpectAll({
        {"Mid past end", abc.Mid(5), u""},
        {"Mid negative first", abc.Mid(-3), u"abc"},
        {"Mid long count", abc.Mid(1, 99), u"bc"},
        {"Mid negative count", abc.Mid(1, -1), u""},
        {"Mid negative first with count", abc.Mid(-5, 2), u"ab"},
        {"Mid huge", abc.Mid(INT_MAX, INT_MAX), u""},
        {"Left negative", abc.Left(-1), u""},
        {"Left long", abc.Left(99), u"abc"},
        {"Right negative", abc.Right(-2), u""},
        {"Right long", abc.Right(INT_MAX), u"abc"},
    });

    const CString abca(u"abca");
    ExpectAll<int>({
        {"char past end", abca.Find(u'c', 9), -1},
        {"char negative start", abca.Find(u'a', -5), 0},
        {"text", abca.Find(u"ca", 1), 2},
        {"text past end", abca.Find(u"a", 10), -1},
        {"empty text at start", abca.Find(u"", 2), 2},
        {"empty text past end", abca.Find(u"", 5), -1},
        {"null text", abca.Find(nullptr), 0},
        {"reverse absent", abca.ReverseFind(u'z'), -1},
        {"one of", abca.FindOneOf(u"xc"), 2},
        {"one of null", abca.FindOneOf(nullptr), -1},
        {"GetAt past end", abca.GetAt(7), 0},
        {"GetAt negative", abca.GetAt(-1), 0},
        {"index huge", abca[size_t{1} << 40], 0},
    });

    using Edit = std::function<int(CString&)>;  // answers the edit's result
    for (const auto& [what, edit, result, expected] :
         std::vector<std::tuple<const char*, Edit, int, const char16_t*>>{
             {"Delete negative index", [](CString& s) { return s.Delete(-1, 2); }, 4, u"cdef"},
             {"Delete long count", [](CString& s) { return s.Delete(4, 99); }, 4, u"abcd"},
             {"Delete past end", [](CString& s) { return s.Delete(9); }, 6, u"abcdef"},
             {"Delete negative count", [](CString& s) { return s.Delete(2, -3); }, 6, u"abcdef"},
             {"Delete all", [](CString& s) { return s.Delete(0, INT_MAX); }, 0, u""},
             {"Insert negative", [](CString& s) { return s.Insert(-3, u"x"); }, 7, u"xabcdef"},
             {"Insert past end", [](CString& s) { return s.Insert(99, u"xy"); }, 8, u"abcdefxy"},
             {"Insert null", [](CString& s) { return s.Insert(1, nullptr); }, 6, u"abcdef"},
             {"SetAt at end", [](CString& s) { return s.SetAt(6, u'x'), s.GetLength(); }, 6,
              u"abcdef"},
             {"SetAt negative", [](CString& s) { return s.SetAt(-1, u'x'), s.GetLength(); }, 6,
              u"abcdef"},
         }) {
        CString s(u"abcdef");
        EXPECT_EQ(edit(s), result) << what;
        EXPECT_EQ(s, expected) << what;
    }
}

TEST(CString, NonBmpCountsTwoUnitsInLengthsAndPositions) {
    const CString s = CString(u"a") + kGrin + u"b";
    EXPECT_EQ(s.GetLength(), 4);
    EXPECT_EQ(s.Find(u'b'), 3);
    EXPECT_EQ(s.Find(kGrin), 1);
    EXPECT_EQ(s.Mid(1, 2), kGrin);
    EXPECT_EQ(s.Right(1), u"b");
    EXPECT_EQ(s.GetAt(2), 0xDE00);
    // Cutting through the pair leaves a lone surrogate, which becomes U+FFFD in UTF-8.
    EXPECT_EQ(s.Left(2).ToUtf8(), "a\xEF\xBF\xBD");
    EXPECT_EQ(s.ToUtf8(), "a\xF0\x9F\x98\x80\x62");
    CString upper = s;
    EXPECT_EQ(upper.MakeUpper(), CString(u"A") + kGrin + u"B");
    EXPECT_EQ(upper.MakeLower(), s);
}

TEST(CString, ChangingACopyLeavesTheOriginalAlone) {
    using Change = std::function<void(CString&)>;
    for (const auto& [what, change, expected] :
         std::vector<std::tuple<const char*, Change, const char16_t*>>{
             {"SetAt", [](CString& s) { s.SetAt(0, u'J'); }, u"Jello world"},
             {"MakeUpper", [](CString& s) { s.MakeUpper(); }, u"HELLO WORLD"},
             {"MakeReverse", [](CString& s) { s.MakeReverse(); }, u"dlrow olleh"},
             {"Replace char", [](CString& s) { s.Replace(u'l', u'L'); }, u"heLLo worLd"},
             {"Replace text", [](CString& s) { s.Replace(u"o", u"0"); }, u"hell0 w0rld"},
             {"Delete", [](CString& s) { s.Delete(0, 6); }, u"world"},
             {"Insert", [](CString& s) { s.Insert(5, u","); }, u"hello, world"},
             {"Remove", [](CString& s) { s.Remove(u'l'); }, u"heo word"},
             {"Append", [](CString& s) { s += u"!"; }, u"hello world!"},
             {"Trim", [](CString& s) { s.Trim(u"hd"); }, u"ello worl"},
             {"GetBuffer", [](CString& s) { s.GetBuffer(20)[0] = u'Y', s.ReleaseBuffer(); },
              u"Yello world"},
             {"ReleaseBuffer alone", [](CString& s) { s.ReleaseBuffer(5); }, u"hello"},
             {"GetBufferSetLength", [](CString& s) { s.GetBufferSetLength(4); }, u"hell"},
             {"Empty", [](CString& s) { s.Empty(); }, u""},
         }) {
        const CString original(u"hello world");
        CString copy = original;
        CString shared_piece = original.Mid(0);  // a whole-string Mid shares the buffer too
        change(copy);
        change(shared_piece);
        EXPECT_EQ(copy, expected) << what;
        EXPECT_EQ(shared_piece, expected) << what;
        EXPECT_EQ(original, u"hello world") << what;
    }
}

TEST(CString, CopiesMayBeUsedFromSeveralThreads) {
    const CString shared(u"shared text that every thread copies");
    std::vector<std::thread> threads;
    std::vector<int> lengths(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&shared, &lengths, t] {
            for (int i = 0; i < 2000; ++i) {
                CString mine = shared;
                mine.SetAt(0, u'S');
                lengths[t] = CString(mine).GetLength();
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(lengths, std::vector<int>(4, shared.GetLength()));
    EXPECT_EQ(shared.GetAt(0), u's');
}

TEST(CString, GetBufferAndReleaseBuffer) {
    CString s(u"abc");
    char16_t* p = s.GetBuffer(10);
    EXPECT_EQ(std::u16string_view(p, 3), u"abc");  // the buffer holds the current text
    std::char_traits<char16_t>::copy(p, u"hello", 6);
    s.ReleaseBuffer();
    EXPECT_EQ(s, u"hello");
    s.GetBuffer(10);
    s.ReleaseBuffer(3);
    EXPECT_EQ(s, u"hel");
    s.GetBuffer();
    s.ReleaseBuffer(99);  // clamped to the buffer, whose unused units are zero
    EXPECT_GT(s.GetLength(), 3);
    EXPECT_EQ(s.Left(3), u"hel");
    EXPECT_EQ(s.View().find_first_not_of(u'\0', 3), std::u16string_view::npos);

    // A buffer filled to its requested size without a terminator: the length is what was
    // written, also after the buffer has grown beyond the request.
    CString grown(u'a', 8);
    p = grown.GetBuffer(10);
    std::char_traits<char16_t>::assign(p, 10, u'x');
    grown.ReleaseBuffer();
    EXPECT_EQ(grown, CString(u'x', 10));

    // Units past the text are zero, so a caller that writes less still gets its own text.
    CString padded(u"ab");
    p = padded.GetBufferSetLength(5);
    EXPECT_EQ(std::u16string_view(p, 5), std::u16string_view(u"ab\0\0\0", 5));
    EXPECT_EQ(padded.GetLength(), 5);

    CString empty;
    EXPECT_EQ(empty.GetBuffer(0)[0], 0);
    empty.ReleaseBuffer();
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(CString, TrimRemovesWhiteSpaceIncludingUnicodeSpaces) {
    using S = const char16_t*;
    for (const auto& [input, both, left, right] : std::vector<std::tuple<S, S, S, S>>{
             {u" \t\r\n\v\fa b\t \n", u"a b", u"a b\t \n", u" \t\r\n\v\fa b"},
             {u"\u3000\u2003x\u1680\u2028", u"x", u"x\u1680\u2028", u"\u3000\u2003x"},
             // No-break spaces are not white space for the classification we follow.
             {u"\u00A0x\u00A0", u"\u00A0x\u00A0", u"\u00A0x\u00A0", u"\u00A0x\u00A0"},
             {u"   ", u"", u"", u""},
             {u"", u"", u"", u""},
         }) {
        EXPECT_EQ(CString(input).Trim(), both);
        EXPECT_EQ(CString(input).TrimLeft(), left);
        EXPECT_EQ(CString(input).TrimRight(), right);
    }
    ExpectAll({
        {"one character", CString(u"xxaxx").Trim(u'x'), u"a"},
        {"left set", CString(u"xyaxy").TrimLeft(u"xy"), u"axy"},
        {"right set", CString(u"xyaxy").TrimRight(u"yx"), u"xya"},
        {"null set", CString(u" a ").Trim(static_cast<const char16_t*>(nullptr)), u" a "},
    });
}

TEST(CString, CompareAndCompareNoCase) {
    for (const auto& [a, b, exact, no_case] :
         std::vector<std::tuple<CString, const char16_t*, int, int>>{
             {u"abc", u"abc", 0, 0},
             {u"abc", u"ABC", 1, 0},
             {u"\u00C4pfel", u"\u00E4PFEL", -1, 0},
             {u"\u0394\u03B5", u"\u03B4\u0395", -1, 0},
             {u"ab", u"abc", -1, -1},
             {u"abd", u"ABC", 1, 1},
             {u"_", u"A", 1, -1},  // compared lower-cased: '_' before 'a'
             {u"", nullptr, 0, 0},
             {u"a", nullptr, 1, 1},
         }) {
        EXPECT_EQ(a.Compare(b), exact) << a.ToUtf8();
        EXPECT_EQ(a.CompareNoCase(b), no_case) << a.ToUtf8();
    }
    EXPECT_LT(CString(u"B"), CString(u"a"));  // map order is case-sensitive
}

std::u16string FromUtf8(const std::string& utf8) {
    return std::u16string(CString::FromUtf8(utf8).View());
}
std::string ToUtf8(const std::u16string& utf16) {
    return CString(utf16).ToUtf8();
}

TEST(CString, Utf8Conversion) {
    ExpectAll<std::u16string>({
        {"ascii", FromUtf8("abc"), u"abc"},
        {"two to four bytes", FromUtf8("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
         u"\u00E9\u20AC\U0001F600"},
        {"zero byte kept", FromUtf8(std::string("a\0b", 3)), std::u16string(u"a\0b", 3)},
        {"truncated pair", FromUtf8("\xC3"), u"\uFFFD"},
        {"bad continuation", FromUtf8("\xC3\x28"), u"\uFFFD("},
        {"truncated three", FromUtf8("\xE2\x82\x61"), u"\uFFFDa"},
        {"encoded surrogate", FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"},
        {"overlong", FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD"},
        {"above U+10FFFF", FromUtf8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"invalid bytes", FromUtf8("\xFF\xFEx"), u"\uFFFD\uFFFDx"},
        {"lone continuation", FromUtf8("\x80z"), u"\uFFFDz"},
    });
    ExpectAll<std::string>({
        {"pair", ToUtf8(u"\U0010FFFF"), "\xF4\x8F\xBF\xBF"},
        {"lone high at end", ToUtf8(u"a\xD83D"), "a\xEF\xBF\xBD"},
        {"lone low", ToUtf8(u"\xDE00z"), "\xEF\xBF\xBDz"},
        {"high then non-low", ToUtf8(u"\xD83Dx"), "\xEF\xBF\xBDx"},
        {"reversed pair", ToUtf8(u"\xDE00\xD83D"), "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"zero unit kept", ToUtf8(std::u16string(u"\0", 1)), std::string("\0", 1)},
    });
}

}  // namespace
