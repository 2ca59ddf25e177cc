// SmallText against std::u16string: the same appends give the same text, whether it stays in the
// inline buffer, ends exactly at its end or moves to the heap part way.

#include "util/base/small_text.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "util/base/format.h"

namespace {

constexpr size_t kInline = util_base::SmallText::kInlineUnits;

// Applies the same steps to both texts.
template <class Text>
void Build(Text& text, size_t first, size_t second) {
    const std::u16string run(first, u'a');
    const std::vector<char> narrow = {'x', 'y', '\x7f'};
    text.append(run.data(), run.size());
    text += u'|';
    text.append(second, u'b');
    text.append(narrow.begin(), narrow.end());
    text += u"end";
    const char16_t range[] = u"<>";
    text.append(range, range + 2);
}

TEST(SmallText, AppendsLikeAStringOnEitherSideOfTheInlineBuffer) {
    const std::pair<size_t, size_t> lengths[] = {
        {0, 0},            // empty runs
        {10, 20},          // well inside
        {kInline - 9, 0},  // the steps end exactly at the inline end
        {kInline - 8, 0},  // one unit past it, in the last append
        {kInline, 5},      // the first append fills it, the second spills
        {kInline + 1, 0},  // the first append alone does not fit
        {3, 4 * kInline},  // a long fill after a short start
    };
    for (const auto& [first, second] : lengths) {
        util_base::SmallText small;
        std::u16string expected;
        Build(small, first, second);
        Build(expected, first, second);
        EXPECT_EQ(small.View(), expected) << first << "+" << second;
        EXPECT_EQ(small.size(), expected.size());
    }
}

std::pair<std::u16string, std::u16string> FormatBoth(const char16_t* format, ...) {
    std::u16string plain;
    util_base::SmallText small;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    util_format::FormatVaList(plain, format, args);
    util_format::FormatVaList(small, format, again);
    va_end(again);
    va_end(args);
    return {plain, std::u16string(small.View())};
}

// The formatter writes the same text into either kind of output, also where a field spills.
TEST(SmallText, TheFormatterWritesWhatItWritesIntoAString) {
    const std::u16string wide(3 * kInline, u'w');
    const std::pair<std::u16string, std::u16string> cases[] = {
        FormatBoth(u"step %d of %s", 7, u"tm4200.bin"),
        FormatBoth(u"%#o %#x %+.3d %-6u|", 8u, 255u, 4, 3u),
        FormatBoth(u"%300d|%s", -1, wide.c_str()),
        FormatBoth(u"%.2f %e %S", 2.5, 1e10, "narrow"),
    };
    for (const auto& [plain, small] : cases) {
        EXPECT_EQ(small, plain);
        EXPECT_FALSE(plain.empty());
    }
}

}  // namespace
