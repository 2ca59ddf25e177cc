#include "util/base/cstring.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <functional>
#include <string>
#include <thread>
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

struct Case {
    const char* what;
    CString actual;
    CString expected;
};

void ExpectAll(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;
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
        {"no conversions", Fmt(u"plain"), u"plain"},
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

TEST(CStringFormat, VaListForm) {
    const char16_t* null_text = nullptr;
    ExpectAll({
        {"mixed", FmtV(u"%s=%d %u %x", u"a", -5, 7u, 255u), u"a=-5 7 ff"},
        {"char and width", FmtV(u"[%c][%-3c][%04d]", u'Q', u'r', 12), u"[Q][r  ][0012]"},
        {"long long", FmtV(u"%lld %llu", LLONG_MIN, ULLONG_MAX),
         u"-9223372036854775808 18446744073709551615"},
        {"long and size_t", FmtV(u"%ld %zu", -3L, static_cast<size_t>(9)), u"-3 9"},
        {"narrow", FmtV(u"%hs", "n\xC3\xA4rrow"), u"n\u00E4rrow"},
        {"null text", FmtV(u"[%s]", null_text), u"[(null)]"},
        {"star", FmtV(u"[%*d][%.*s]", 3, 1, 2, u"abc"), u"[  1][ab]"},
        {"double", FmtV(u"%.3f", 2.0), u"2.000"},
        {"extra arguments", FmtV(u"%d", 1, 2, 3), u"1"},
        {"unknown conversion", FmtV(u"%q%d", 4), u"%q4"},
        {"non-BMP width", FmtV(u"[%3s]", kGrin), CString(u"[ ") + kGrin + u"]"},
    });
}

TEST(CStringFormat, NonBmpTextCountsTwoUnits) {
    const CString grin(kGrin);
    ExpectAll({
        {"width", Fmt(u"[%3s]", kGrin), u"[ " + grin + u"]"},
        {"left width", Fmt(u"[%-4s]", kGrin), u"[" + grin + u"  ]"},
        {"precision keeps the pair", Fmt(u"[%.2s]", grin + u"x"), u"[" + grin + u"]"},
        {"width exactly the pair", Fmt(u"[%2s]", kGrin), u"[" + grin + u"]"},
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
        {"Mid at end", abc.Mid(3, 1), u""},
        {"Left negative", abc.Left(-1), u""},
        {"Left long", abc.Left(99), u"abc"},
        {"Right negative", abc.Right(-2), u""},
        {"Right long", abc.Right(INT_MAX), u"abc"},
        {"Right", abc.Right(2), u"bc"},
        {"empty Mid", CString().Mid(1, 1), u""},
    });

    struct FindCase {
        const char* what;
        int actual, expected;
    };
    const CString abca(u"abca");
    for (const FindCase& c : std::vector<FindCase>{
             {"char past end", abca.Find(u'c', 9), -1},
             {"char negative start", abca.Find(u'a', -5), 0},
             {"char from start", abca.Find(u'a', 1), 3},
             {"char absent", abca.Find(u'z'), -1},
             {"text", abca.Find(u"ca", 1), 2},
             {"text past end", abca.Find(u"a", 10), -1},
             {"empty text at start", abca.Find(u"", 2), 2},
             {"empty text at end", abca.Find(u"", 4), 4},
             {"empty text past end", abca.Find(u"", 5), -1},
             {"null text", abca.Find(nullptr), 0},
             {"reverse", abca.ReverseFind(u'a'), 3},
             {"reverse absent", abca.ReverseFind(u'z'), -1},
             {"one of", abca.FindOneOf(u"xc"), 2},
             {"one of null", abca.FindOneOf(nullptr), -1},
             {"GetAt past end", abca.GetAt(7), 0},
             {"GetAt negative", abca.GetAt(-1), 0},
             {"index huge", abca[size_t{1} << 40], 0},
             {"index", abca[3u], u'a'},
         })
        EXPECT_EQ(c.actual, c.expected) << c.what;

    struct EditCase {
        const char* what;
        std::function<int(CString&)> edit;
        int result;
        const char16_t* expected;
    };
    for (const EditCase& c : std::vector<EditCase>{
             {"Delete negative index", [](CString& s) { return s.Delete(-1, 2); }, 4, u"cdef"},
             {"Delete long count", [](CString& s) { return s.Delete(4, 99); }, 4, u"abcd"},
             {"Delete past end", [](CString& s) { return s.Delete(9); }, 6, u"abcdef"},
             {"Delete zero", [](CString& s) { return s.Delete(2, 0); }, 6, u"abcdef"},
             {"Delete negative count", [](CString& s) { return s.Delete(2, -3); }, 6, u"abcdef"},
             {"Delete all", [](CString& s) { return s.Delete(0, INT_MAX); }, 0, u""},
             {"Insert negative", [](CString& s) { return s.Insert(-3, u"x"); }, 7, u"xabcdef"},
             {"Insert past end", [](CString& s) { return s.Insert(99, u"xy"); }, 8, u"abcdefxy"},
             {"Insert null", [](CString& s) { return s.Insert(1, nullptr); }, 6, u"abcdef"},
             {"Insert char", [](CString& s) { return s.Insert(1, u'Z'); }, 7, u"aZbcdef"},
             {"SetAt past end",
              [](CString& s) {
                  s.SetAt(6, u'x');
                  s.SetAt(-1, u'x');
                  return s.GetLength();
              },
              6, u"abcdef"},
         }) {
        CString s(u"abcdef");
        EXPECT_EQ(c.edit(s), c.result) << c.what;
        EXPECT_EQ(s, c.expected) << c.what;
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
    EXPECT_EQ(s.ToUtf8(),
              "a\xF0\x9F\x98\x80"
              "b");
    CString upper = s;
    upper.MakeUpper();
    EXPECT_EQ(upper, CString(u"A") + kGrin + u"B");
    EXPECT_EQ(upper.MakeLower(), s);
}

TEST(CString, ChangingACopyLeavesTheOriginalAlone) {
    struct MutatorCase {
        const char* what;
        std::function<void(CString&)> change;
        const char16_t* expected;
    };
    const std::vector<MutatorCase> cases = {
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
        {"GetBuffer",
         [](CString& s) {
             s.GetBuffer(20)[0] = u'Y';
             s.ReleaseBuffer();
         },
         u"Yello world"},
        {"ReleaseBuffer alone", [](CString& s) { s.ReleaseBuffer(5); }, u"hello"},
        {"GetBufferSetLength", [](CString& s) { s.GetBufferSetLength(4); }, u"hell"},
        {"Empty", [](CString& s) { s.Empty(); }, u""},
    };
    for (const MutatorCase& c : cases) {
        const CString original(u"hello world");
        CString copy = original;
        CString shared_piece = original.Mid(0);  // a whole-string Mid shares the buffer too
        c.change(copy);
        c.change(shared_piece);
        EXPECT_EQ(copy, c.expected) << c.what;
        EXPECT_EQ(shared_piece, c.expected) << c.what;
        EXPECT_EQ(original, u"hello world") << c.what;
    }
}

TEST(CString, CopiesMayBeUsedFromSeveralThreads) {
    const CString shared(u"shared text that every thread copies");
    std::vector<std::thread> threads;
    std::vector<int> lengths(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared, &lengths, t] {
            for (int i = 0; i < 2000; ++i) {
                CString mine = shared;
                mine.SetAt(0, u'S');
                CString again = mine;
                lengths[t] = again.GetLength();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int length : lengths) EXPECT_EQ(length, shared.GetLength());
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
    for (int i = 0; i < 10; ++i) p[i] = u'x';
    grown.ReleaseBuffer();
    EXPECT_EQ(grown, CString(u'x', 10));

    // Units past the text are zero, so a caller that writes less still gets its own text.
    CString padded(u"ab");
    p = padded.GetBufferSetLength(5);
    EXPECT_EQ(std::u16string_view(p, 5), std::u16string_view(u"ab\0\0\0", 5));
    EXPECT_EQ(padded.GetLength(), 5);

    CString empty;
    p = empty.GetBuffer(0);
    EXPECT_EQ(p[0], 0);
    empty.ReleaseBuffer();
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(CString, TrimRemovesWhiteSpaceIncludingUnicodeSpaces) {
    struct TrimCase {
        const char16_t* input;
        const char16_t* both;
        const char16_t* left;
        const char16_t* right;
    };
    for (const TrimCase& c : std::vector<TrimCase>{
             {u" \t\r\n\v\fa b\t \n", u"a b", u"a b\t \n", u" \t\r\n\v\fa b"},
             {u"\u3000\u2003x\u1680\u2028", u"x", u"x\u1680\u2028", u"\u3000\u2003x"},
             // No-break spaces are not white space for the classification we follow.
             {u"\u00A0x\u00A0", u"\u00A0x\u00A0", u"\u00A0x\u00A0", u"\u00A0x\u00A0"},
             {u"   ", u"", u"", u""},
             {u"", u"", u"", u""},
             {u"inner  space", u"inner  space", u"inner  space", u"inner  space"},
         }) {
        CString both(c.input), left(c.input), right(c.input);
        EXPECT_EQ(both.Trim(), c.both);
        EXPECT_EQ(left.TrimLeft(), c.left);
        EXPECT_EQ(right.TrimRight(), c.right);
    }
    EXPECT_EQ(CString(u"xxaxx").Trim(u'x'), u"a");
    EXPECT_EQ(CString(u"xyaxy").TrimLeft(u"xy"), u"axy");
    EXPECT_EQ(CString(u"xyaxy").TrimRight(u"yx"), u"xya");
    EXPECT_EQ(CString(u" a ").Trim(static_cast<const char16_t*>(nullptr)), u" a ");
}

TEST(CString, CompareAndCompareNoCase) {
    struct CompareCase {
        const char16_t* a;
        const char16_t* b;
        int exact;
        int no_case;
    };
    for (const CompareCase& c : std::vector<CompareCase>{
             {u"abc", u"abc", 0, 0},
             {u"abc", u"ABC", 1, 0},
             {u"\u00C4pfel", u"\u00E4PFEL", -1, 0},
             {u"\u0394\u03B5", u"\u03B4\u0395", -1, 0},
             {u"ab", u"abc", -1, -1},
             {u"abc", u"ab", 1, 1},
             {u"abd", u"ABC", 1, 1},
             {u"ABC", u"abd", -1, -1},
             {u"_", u"A", 1, -1},  // compared lower-cased: '_' before 'a'
             {u"", nullptr, 0, 0},
             {u"a", nullptr, 1, 1},
         }) {
        const CString a(c.a);
        EXPECT_EQ(a.Compare(c.b), c.exact) << a.ToUtf8();
        EXPECT_EQ(a.CompareNoCase(c.b), c.no_case) << a.ToUtf8();
    }
    EXPECT_LT(CString(u"B"), CString(u"a"));  // map order is case-sensitive
}

TEST(CString, Utf8Conversion) {
    struct FromCase {
        const char* what;
        std::string utf8;
        std::u16string utf16;
    };
    for (const FromCase& c : std::vector<FromCase>{
             {"ascii", "abc", u"abc"},
             {"two to four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
              u"\u00E9\u20AC\U0001F600"},
             {"zero byte kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
             {"truncated pair", "\xC3", u"\uFFFD"},
             {"bad continuation", "\xC3\x28", u"\uFFFD("},
             {"truncated three",
              "\xE2\x82"
              "a",
              u"\uFFFDa"},
             {"truncated four", "\xF0\x9F\x98", u"\uFFFD"},
             {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
             {"overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
             {"overlong three", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
             {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
             {"invalid bytes", "\xFF\xFEx", u"\uFFFD\uFFFDx"},
             {"lone continuation", "\x80z", u"\uFFFDz"},
         })
        EXPECT_EQ(CString::FromUtf8(c.utf8).View(), c.utf16) << c.what;

    struct ToCase {
        const char* what;
        std::u16string utf16;
        std::string utf8;
    };
    for (const ToCase& c : std::vector<ToCase>{
             {"pair", u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
             {"lone high at end", u"a\xD83D", "a\xEF\xBF\xBD"},
             {"lone low", u"\xDE00z", "\xEF\xBF\xBDz"},
             {"high then non-low", u"\xD83Dx", "\xEF\xBF\xBDx"},
             {"reversed pair", u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},
             {"zero unit kept", std::u16string(u"\0", 1), std::string("\0", 1)},
         })
        EXPECT_EQ(CString(c.utf16).ToUtf8(), c.utf8) << c.what;
}

}  // namespace
