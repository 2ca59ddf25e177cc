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

TEST(CStringFormat, ConversionsFlagsArgumentsAndTheVaListForm) {
    const char16_t* null_text = nullptr;
    ExpectAll({
        {"conversions",
         Fmt(u"%s|%d|%u|%i|%o %#o|%c%c|100%% %%d", u"ab", -12, 7u, 3, 8, 8, u'Z', 0x263A),
         u"ab|-12|7|3|10 010|Z\u263A|100% %d"},
        {"hex", Fmt(u"%x %X %#x %#X %#x", 255, 255, 255, 255, 0), u"ff FF 0xff 0XFF 0"},
        {"width and padding", Fmt(u"[%5d][%-5d][%5s][%-5s][%3c]", 42, 42, u"ab", u"ab", u'q'),
         u"[   42][42   ][   ab][ab   ][  q]"},
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
        {"texts: null, narrow UTF-8, string objects",
         Fmt(u"[%s][%5s]%hs|%S|%s+%s", null_text, nullptr, "gr\xC3\xBC\xC3\x9F", "x",
             CString(u"cs"), std::u16string(u"u16")),
         u"[(null)][(null)]gr\u00FC\u00DF|x|cs+u16"},
        {"null format", Fmt(nullptr, 1), u""},
        // A character outside the BMP counts two units for widths and precisions.
        {"non-BMP width and precision", Fmt(u"[%3s][%.2s]", kGrin, CString(kGrin) + u"x"),
         CString(u"[ ") + kGrin + u"][" + kGrin + u"]"},
        // Bad or missing arguments never crash a known conversion.
        {"missing arguments", Fmt(u"[%d][%5d][%x][%s][%3s][%c][%3c][%*d]", 1),
         u"[1][    0][0][][   ][][   ][0]"},
        {"extra arguments", Fmt(u"%d", 1, 2, u"three"), u"1"},
        {"mismatched arguments", Fmt(u"%d|%s|%d|%.1f|%hs", u"text", 42, 2.9, 3, u"wide"),
         u"0|(null)|2|3.0|wide"},
        {"unknown conversions and %n copied through", Fmt(u"%-5y|%n%d", 5), u"%-5y|%n5"},
        {"format ends in %", Fmt(u"50%"), u"50%"},
        {"format ends in a conversion", Fmt(u"abc%5", 1), u"abc%5"},
        {"huge width is capped", CString(Fmt(u"%99999999d", 1).Right(3)), u"  1"},
        // The va_list entry point reads every kind of argument the variadic one takes.
        {"va_list numbers",
         FmtV(u"%d %u %x %c %lld %llu %ld %zu", -5, 7u, 255u, u'Q', LLONG_MIN, ULLONG_MAX, -3L,
              static_cast<size_t>(9)),
         u"-5 7 ff Q -9223372036854775808 18446744073709551615 -3 9"},
        {"va_list texts, star and double",
         FmtV(u"%s%hs[%s][%*d][%.*s]%.3f%q", u"a", "n\xC3\xA4", null_text, 3, 1, 2, u"abc", 2.0),
         u"an\u00E4[(null)][  1][ab]2.000%q"},
    });
    EXPECT_EQ(Fmt(u"%99999999d", 1).GetLength(), 1 << 16);
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

// The pieces, each followed by '|'.
template <class... Pieces>
CString Joined(const Pieces&... pieces) {
    return ((CString(pieces) + u"|") + ...);
}

TEST(CString, OutOfRangeArgumentsAreClamped) {
    const CString abc(u"abc");
    ExpectAll({
        {"Mid: past end, negative first, long count, negative count, negative first with count, "
         "huge",
         Joined(abc.Mid(5), abc.Mid(-3), abc.Mid(1, 99), abc.Mid(1, -1), abc.Mid(-5, 2),
                abc.Mid(INT_MAX, INT_MAX)),
         u"|abc|bc||ab||"},
        {"Left and Right: negative, long",
         Joined(abc.Left(-1), abc.Left(99), abc.Right(-2), abc.Right(INT_MAX)), u"|abc||abc|"},
    });

    const CString abca(u"abca");
    using Ints = std::vector<int>;
    ExpectAll<Ints>({
        {"Find: char past end, negative start; text, past end; empty text at start, past end; null",
         {abca.Find(u'c', 9), abca.Find(u'a', -5), abca.Find(u"ca", 1), abca.Find(u"a", 10),
          abca.Find(u"", 2), abca.Find(u"", 5), abca.Find(nullptr)},
         {-1, 0, 2, -1, 2, -1, 0}},
        {"ReverseFind absent; FindOneOf, null set; GetAt past end, negative; index huge",
         {abca.ReverseFind(u'z'), abca.FindOneOf(u"xc"), abca.FindOneOf(nullptr), abca.GetAt(7),
          abca.GetAt(-1), abca[size_t{1} << 40]},
         {-1, 2, -1, 0, 0, 0}},
    });
}

// Every edit: its result, the text it leaves, and a copy made before it (also a whole-string
// Mid, which shares the buffer too) left alone.
TEST(CString, EditsClampTheirArgumentsAndLeaveCopiesAlone) {
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
             {"SetAt", [](CString& s) { return s.SetAt(0, u'J'), 0; }, 0, u"Jbcdef"},
             {"SetAt at end", [](CString& s) { return s.SetAt(6, u'x'), 0; }, 0, u"abcdef"},
             {"SetAt negative", [](CString& s) { return s.SetAt(-1, u'x'), 0; }, 0, u"abcdef"},
             {"MakeUpper", [](CString& s) { return s.MakeUpper(), 0; }, 0, u"ABCDEF"},
             {"MakeReverse", [](CString& s) { return s.MakeReverse(), 0; }, 0, u"fedcba"},
             {"Replace char", [](CString& s) { return s.Replace(u'b', u'B'); }, 1, u"aBcdef"},
             {"Replace text", [](CString& s) { return s.Replace(u"cd", u"X"); }, 1, u"abXef"},
             {"Remove", [](CString& s) { return s.Remove(u'c'); }, 1, u"abdef"},
             {"Append", [](CString& s) { return (s += u"!"), 0; }, 0, u"abcdef!"},
             {"Trim", [](CString& s) { return s.Trim(u"af"), 0; }, 0, u"bcde"},
             {"GetBuffer",
              [](CString& s) { return s.GetBuffer(20)[0] = u'Y', s.ReleaseBuffer(), 0; }, 0,
              u"Ybcdef"},
             {"ReleaseBuffer alone", [](CString& s) { return s.ReleaseBuffer(5), 0; }, 0, u"abcde"},
             {"GetBufferSetLength", [](CString& s) { return s.GetBufferSetLength(4), 0; }, 0,
              u"abcd"},
             {"Empty", [](CString& s) { return s.Empty(), 0; }, 0, u""},
         }) {
        const CString original(u"abcdef");
        CString s = original, shared_piece = original.Mid(0);
        EXPECT_EQ(edit(s), result) << what;
        edit(shared_piece);
        EXPECT_EQ(s, expected) << what;
        EXPECT_EQ(shared_piece, expected) << what;
        EXPECT_EQ(original, u"abcdef") << what;
    }
}

// Lengths and positions count UTF-16 units; case mapping leaves a surrogate pair whole.
TEST(CString, NonBmpCountsTwoUnits) {
    CString s = CString(u"a") + kGrin + u"b";
    EXPECT_EQ(s.Find(u'b'), 3);
    EXPECT_EQ(s.MakeUpper(), CString(u"A") + kGrin + u"B");
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
    s.GetBuffer();
    s.ReleaseBuffer(99);  // clamped to the buffer, whose unused units are zero
    EXPECT_GT(s.GetLength(), 5);
    EXPECT_EQ(s.Left(5), u"hello");
    EXPECT_EQ(s.View().find_first_not_of(u'\0', 5), std::u16string_view::npos);

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

// Invalid input never fails a conversion: each maximal bad sequence becomes one U+FFFD.
TEST(CString, Utf8Conversion) {
    ExpectAll({
        {"two to four bytes", CString::FromUtf8("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
         u"\u00E9\u20AC\U0001F600"},
        {"zero byte kept", CString::FromUtf8(std::string("a\0b", 3)),
         CString(std::u16string(u"a\0b", 3))},
        {"truncated sequences", CString::FromUtf8("\xE2\x82\x61\xC3"), u"\uFFFDa\uFFFD"},
        {"surrogate, overlong, above U+10FFFF: a U+FFFD per byte",
         CString::FromUtf8("\xED\xA0\x80|\xC0\xAF|\xF4\x90\x80\x80"),
         u"\uFFFD\uFFFD\uFFFD|\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"invalid byte, lone continuation", CString::FromUtf8("\xFF\x80z"), u"\uFFFD\uFFFDz"},
    });
    ExpectAll<std::string>({
        {"pair", CString(u"\U0010FFFF").ToUtf8(), "\xF4\x8F\xBF\xBF"},
        {"lone low, high before a non-low, high at the end",
         CString(u"\xDE00z\xD83Dx\xD83D").ToUtf8(), "\xEF\xBF\xBDz\xEF\xBF\xBDx\xEF\xBF\xBD"},
        {"zero unit kept", CString(std::u16string(u"\0", 1)).ToUtf8(), std::string("\0", 1)},
    });
}

}  // namespace
