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

// Rows of {actual, expected}; a failure shows both, which names the row.
template <class T = CString>
void ExpectAll(const std::vector<std::pair<T, T>>& rows) {
    for (const auto& [actual, expected] : rows) EXPECT_EQ(actual, expected);
}

// The pieces, each followed by '|'.
template <class... Pieces>
CString Joined(const Pieces&... pieces) {
    return ((CString(pieces) + u"|") + ...);
}

const char16_t kGrin[] = u"\U0001F600";  // outside the BMP: two code units

TEST(CStringFormat, ConversionsFlagsArgumentsAndTheVaListForm) {
    const char16_t* null_text = nullptr;
    ExpectAll({
        // Conversions, then hex.
        {Fmt(u"%s|%d|%u|%i|%o %#o|%c%c|100%% %%d", u"ab", -12, 7u, 3, 8, 8, u'Z', 0x263A),
         u"ab|-12|7|3|10 010|Z\u263A|100% %d"},
        {Fmt(u"%x %X %#x %#X %#x", 255, 255, 255, 255, 0), u"ff FF 0xff 0XFF 0"},
        // Width and padding, zero padding, sign flags.
        {Fmt(u"[%5d][%-5d][%5s][%-5s][%3c]", 42, 42, u"ab", u"ab", u'q'),
         u"[   42][42   ][   ab][ab   ][  q]"},
        {Fmt(u"[%05d][%05d][%08X][%-05d]", 42, -42, 0xBEEFu, 7),
         u"[00042][-0042][0000BEEF][7    ]"},
        {Fmt(u"[%+d][% d][%+d][%+u]", 5, 5, -5, 5u), u"[+5][ 5][-5][5]"},
        // Precision of numbers and of texts, widths and precisions from the arguments.
        {Fmt(u"[%.3d][%8.3d][%08.3d][%.0d]", 7, 7, 7, 0), u"[007][     007][     007][]"},
        {Fmt(u"[%.2s][%6.2s][%.9s]", u"abcdef", u"abcdef", u"ab"), u"[ab][    ab][ab]"},
        {Fmt(u"[%*d][%*d][%.*s]", 4, 7, -4, 7, 1, u"xyz"), u"[   7][7   ][x]"},
        // Limits, long long, floating point; narrowing size prefixes, a null format, extra
        // arguments.
        {Fmt(u"%d %u %x", INT_MIN, -1, -1), u"-2147483648 4294967295 ffffffff"},
        {Fmt(u"%lld %llu %I64d", LLONG_MIN, ULLONG_MAX, 1LL << 40),
         u"-9223372036854775808 18446744073709551615 1099511627776"},
        {Fmt(u"%.2f %e %g %5.1f", 3.14159, 1.5, 0.0001, -2.25), u"3.14 1.500000e+00 0.0001  -2.2"},
        {Joined(Fmt(u"%hd %hhu", 70000, 300), Fmt(nullptr, 1), Fmt(u"%d", 1, 2, u"three")),
         u"4464 44||1|"},
        // Texts: null, narrow UTF-8, string objects.
        {Fmt(u"[%s][%5s]%hs|%S|%s+%s", null_text, nullptr, "gr\xC3\xBC\xC3\x9F", "x",
             CString(u"cs"), std::u16string(u"u16")),
         u"[(null)][(null)]gr\u00FC\u00DF|x|cs+u16"},
        // A character outside the BMP counts two units for widths and precisions.
        {Fmt(u"[%3s][%.2s]", kGrin, CString(kGrin) + u"x"),
         CString(u"[ ") + kGrin + u"][" + kGrin + u"]"},
        // Bad or missing arguments never crash a known conversion; unknown conversions
        // and %n are copied through, also a % or a conversion at the end; a huge width is capped.
        {Fmt(u"[%d][%5d][%x][%s][%3s][%c][%3c][%*d]", 1), u"[1][    0][0][][   ][][   ][0]"},
        {Fmt(u"%d|%s|%d|%.1f|%hs", u"text", 42, 2.9, 3, u"wide"), u"0|(null)|2|3.0|wide"},
        {Fmt(u"%-5y|%n%d", 5), u"%-5y|%n5"},
        {Joined(Fmt(u"50%"), Fmt(u"abc%5", 1), Fmt(u"%99999999d", 1).Right(3)), u"50%|abc%5|  1|"},
        // The va_list entry point reads every kind of argument the variadic one takes.
        {FmtV(u"%d %u %x %c %lld %llu %ld %zu", -5, 7u, 255u, u'Q', LLONG_MIN, ULLONG_MAX, -3L,
              static_cast<size_t>(9)),
         u"-5 7 ff Q -9223372036854775808 18446744073709551615 -3 9"},
        {FmtV(u"%s%hs[%s][%*d][%.*s]%.3f%q", u"a", "n\xC3\xA4", null_text, 3, 1, 2, u"abc", 2.0),
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

TEST(CString, OutOfRangeArgumentsAreClamped) {
    const CString abc(u"abc"), abca(u"abca");
    // Only the top bit set: as an int it is 0 (64-bit size_t) or negative (32-bit).
    constexpr size_t kHugeIndex = size_t{1} << (sizeof(size_t) * CHAR_BIT - 1);
    // Mid: past end, negative first, long count, negative count, negative first with count,
    // huge; Left and Right: negative, long.
    EXPECT_EQ(Joined(abc.Mid(5), abc.Mid(-3), abc.Mid(1, 99), abc.Mid(1, -1), abc.Mid(-5, 2),
                     abc.Mid(INT_MAX, INT_MAX), abc.Left(-1), abc.Left(99), abc.Right(-2),
                     abc.Right(INT_MAX)),
              u"|abc|bc||ab|||abc||abc|");
    // Find: char past end, negative start; text, past end; empty text at start, past end; null.
    // ReverseFind absent; FindOneOf, null set; GetAt past end, negative; index huge.
    EXPECT_EQ((std::vector<int>{abca.Find(u'c', 9), abca.Find(u'a', -5), abca.Find(u"ca", 1),
                                abca.Find(u"a", 10), abca.Find(u"", 2), abca.Find(u"", 5),
                                abca.Find(nullptr), abca.ReverseFind(u'z'), abca.FindOneOf(u"xc"),
                                abca.FindOneOf(nullptr), abca.GetAt(7), abca.GetAt(-1),
                                abca[kHugeIndex]}),
              (std::vector<int>{-1, 0, 2, -1, 2, -1, 0, -1, 2, -1, 0, 0, 0}));
}

// Every edit: its result, the text it leaves, and a copy made before it (also a whole-string
// Mid, which shares the buffer too) left alone.
TEST(CString, EditsClampTheirArgumentsAndLeaveCopiesAlone) {
    // A row: the edit of `s` (also its name), the result it answers (0 for edits without one),
    // the text it leaves.
    using Row = std::tuple<const char*, std::function<int(CString&)>, int, const char16_t*>;
    // Kept on one line: the formatter would break the macro at the lambda.
    // clang-format off
#define EDIT(edit, result, expected) Row(#edit, [](CString& s) { return edit; }, result, expected)
    // clang-format on
    for (const auto& [what, edit, result, expected] :
         {EDIT(s.Delete(-1, 2), 4, u"cdef"),
          EDIT(s.Delete(4, 99), 4, u"abcd"),
          EDIT(s.Delete(9), 6, u"abcdef"),
          EDIT(s.Delete(2, -3), 6, u"abcdef"),
          EDIT(s.Delete(0, INT_MAX), 0, u""),
          EDIT(s.Insert(-3, u"x"), 7, u"xabcdef"),
          EDIT(s.Insert(99, u"xy"), 8, u"abcdefxy"),
          EDIT(s.Insert(1, nullptr), 6, u"abcdef"),
          EDIT((s.SetAt(0, u'J'), 0), 0, u"Jbcdef"),
          EDIT((s.SetAt(6, u'x'), 0), 0, u"abcdef"),
          EDIT((s.SetAt(-1, u'x'), 0), 0, u"abcdef"),
          EDIT((s.MakeUpper(), 0), 0, u"ABCDEF"),
          EDIT((s.MakeReverse(), 0), 0, u"fedcba"),
          EDIT(s.Replace(u'b', u'B'), 1, u"aBcdef"),
          EDIT(s.Replace(u"cd", u"X"), 1, u"abXef"),
          EDIT(s.Remove(u'c'), 1, u"abdef"),
          EDIT((s += u"!", 0), 0, u"abcdef!"),
          EDIT((s.Trim(u"af"), 0), 0, u"bcde"),
          EDIT((s.GetBuffer(20)[0] = u'Y', s.ReleaseBuffer(), 0), 0, u"Ybcdef"),
          EDIT((s.ReleaseBuffer(5), 0), 0, u"abcde"),
          EDIT((s.Empty(), 0), 0, u""),
          EDIT((s.GetBufferSetLength(4), 0), 0, u"abcd")}) {
        const CString original(u"abcdef");
        CString s = original, shared_piece = original.Mid(0);
        EXPECT_EQ(edit(s), result) << what;
        edit(shared_piece);
        EXPECT_EQ(Joined(s, shared_piece, original), Joined(expected, expected, u"abcdef")) << what;
    }
#undef EDIT
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
    // That the buffer holds the current text, the edits table shows; that ReleaseBuffer()
    // takes the length written, the grown buffer below.
    CString s(u"hello");
    s.GetBuffer(10);
    s.ReleaseBuffer(99);  // clamped to the buffer, whose unused units are zero
    EXPECT_GT(s.GetLength(), 5);
    EXPECT_EQ(std::u16string(s.View()), u"hello" + std::u16string(s.GetLength() - 5, u'\0'));

    // A buffer filled to its requested size without a terminator: the length is what was
    // written, also after the buffer has grown beyond the request.
    CString grown(u'a', 8);
    std::char_traits<char16_t>::assign(grown.GetBuffer(10), 10, u'x');
    grown.ReleaseBuffer();
    EXPECT_EQ(grown, CString(u'x', 10));

    // Units past the text are zero, so a caller that writes less still gets its own text.
    CString padded(u"ab"), empty;
    EXPECT_EQ(std::u16string_view(padded.GetBufferSetLength(5), 5),
              std::u16string_view(u"ab\0\0\0", 5));
    EXPECT_EQ(padded.GetLength(), 5);

    EXPECT_EQ(empty.GetBuffer(0)[0], 0);
    empty.ReleaseBuffer();
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(CString, TrimRemovesWhiteSpaceIncludingUnicodeSpaces) {
    using S = const char16_t*;
    for (const auto& [in, both, left, right] : std::vector<std::tuple<S, S, S, S>>{
             {u" \t\r\n\v\fa b\t \n", u"a b", u"a b\t \n", u" \t\r\n\v\fa b"},
             {u"\u3000\u2003x\u1680\u2028", u"x", u"x\u1680\u2028", u"\u3000\u2003x"},
             // The Windows runtime counts the no-break spaces; zero-width ones are not spaces.
             {u"\u00A0x\u202F", u"x", u"x\u202F", u"\u00A0x"},
             {u"\u200Bx\uFEFF", u"\u200Bx\uFEFF", u"\u200Bx\uFEFF", u"\u200Bx\uFEFF"},
             {u"   ", u"", u"", u""},
         })
        EXPECT_EQ(Joined(CString(in).Trim(), CString(in).TrimLeft(), CString(in).TrimRight()),
                  Joined(both, left, right));
    // One character, a set on the left, a set on the right, a null set.
    EXPECT_EQ(
        Joined(CString(u"xxaxx").Trim(u'x'), CString(u"xyaxy").TrimLeft(u"xy"),
               CString(u"xyaxy").TrimRight(u"yx"), CString(u" a ").Trim(static_cast<S>(nullptr))),
        u"a|axy|xya| a |");
}

TEST(CString, CompareAndCompareNoCase) {
    for (const auto& [a, b, exact, no_case] :
         std::vector<std::tuple<CString, const char16_t*, int, int>>{
             {u"abc", u"abc", 0, 0},
             {u"abc", u"ABC", 1, 0},
             {u"ab", u"abc", -1, -1},
             {u"\u00C4pfel", u"\u00E4PFEL", -1, 0},
             {u"\u0394\u03B5", u"\u03B4\u0395", -1, 0},
             {u"abd", u"ABC", 1, 1},
             {u"_", u"A", 1, -1},  // compared lower-cased: '_' before 'a'
             {u"", nullptr, 0, 0},
             {u"a", nullptr, 1, 1}})
        EXPECT_EQ(std::make_pair(a.Compare(b), a.CompareNoCase(b)), std::make_pair(exact, no_case))
            << a.ToUtf8();
    EXPECT_LT(CString(u"B"), CString(u"a"));  // map order is case-sensitive
}

// Invalid input never fails a conversion: each maximal bad sequence becomes one U+FFFD.
TEST(CString, Utf8Conversion) {
    ExpectAll({
        // Two to four bytes; a zero byte kept; truncated sequences.
        {CString::FromUtf8("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), u"\u00E9\u20AC\U0001F600"},
        {CString::FromUtf8(std::string("a\0b", 3)), CString(std::u16string(u"a\0b", 3))},
        {CString::FromUtf8("\xE2\x82\x61\xC3"), u"\uFFFDa\uFFFD"},
        // Surrogate, overlong, above U+10FFFF: a U+FFFD per byte. Invalid byte, lone
        // continuation.
        {CString::FromUtf8("\xED\xA0\x80|\xC0\xAF|\xF4\x90\x80\x80"),
         u"\uFFFD\uFFFD\uFFFD|\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD\uFFFD"},
        {CString::FromUtf8("\xFF\x80z"), u"\uFFFD\uFFFDz"},
    });
    ExpectAll<std::string>({
        // A pair; lone low, high before a non-low, high at the end; a zero unit kept.
        {CString(u"\U0010FFFF").ToUtf8(), "\xF4\x8F\xBF\xBF"},
        {CString(u"\xDE00z\xD83Dx\xD83D").ToUtf8(), "\xEF\xBF\xBDz\xEF\xBF\xBDx\xEF\xBF\xBD"},
        {CString(std::u16string(u"\0", 1)).ToUtf8(), std::string("\0", 1)},
    });
}

}  // namespace
