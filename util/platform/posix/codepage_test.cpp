#include "util/platform/codepage.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "util/testing/scoped_env_var.h"

namespace {

// Sets the three locale variables for the lifetime of the object.
struct ScopedLocale {
    ScopedLocale(std::optional<std::string> lcAll, std::optional<std::string> lcCtype,
                 std::optional<std::string> lang)
        : all("LC_ALL", lcAll), ctype("LC_CTYPE", lcCtype), lang_("LANG", lang) {}
    util_testing::ScopedEnvVar all, ctype, lang_;
};

using util_platform::AnsiCodePage;
using util_platform::AnsiFromWide;
using util_platform::WideFromAnsi;

constexpr auto kUnset = std::nullopt;

TEST(CodePageTest, CodePageFollowsTheLocaleVariables) {
    struct Case {
        std::optional<std::string> lcAll, lcCtype, lang;
        const char* expected;
    };
    const Case cases[] = {
        {kUnset, kUnset, kUnset, "UTF-8"},
        {kUnset, kUnset, "C", "UTF-8"},
        {kUnset, kUnset, "POSIX", "UTF-8"},
        {kUnset, kUnset, "de_DE.ISO-8859-1", "ISO-8859-1"},
        {kUnset, kUnset, "de_DE.ISO-8859-15@euro", "ISO-8859-15"},
        {kUnset, kUnset, "de_DE.utf8", "UTF-8"},
        {kUnset, kUnset, "de_DE", "UTF-8"},              // no character set named
        {kUnset, kUnset, "xx_XX.NO-SUCH-SET", "UTF-8"},  // unknown to the converter
        {kUnset, "ru_RU.KOI8-R", "de_DE.ISO-8859-1", "KOI8-R"},
        {"ja_JP.SHIFT_JIS", "ru_RU.KOI8-R", "de_DE.ISO-8859-1", "SHIFT_JIS"},
        {"", "", "de_DE.ISO-8859-1", "ISO-8859-1"},  // empty counts as unset
    };
    for (const Case& c : cases) {
        ScopedLocale locale(c.lcAll, c.lcCtype, c.lang);
        EXPECT_EQ(AnsiCodePage(), c.expected) << c.lang.value_or("-");
    }
}

TEST(CodePageTest, WideFromAnsi) {
    struct Case {
        const char* lang;
        std::string ansi;
        std::u16string wide;
    };
    const Case cases[] = {
        {"C", "abc", u"abc"},
        {"C", "\xC3\xA4-\xE2\x82\xAC", u"\u00E4-\u20AC"},
        {"C", "a\xE4z", u"a\uFFFDz"},  // malformed UTF-8
        {"C", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"de_DE.ISO-8859-1", "a\xE4z", u"a\u00E4z"},
        {"de_DE.ISO-8859-15", "\xA4", u"\u20AC"},
        {"ru_RU.KOI8-R", "\xC1", u"\u0430"},
        {"ja_JP.SHIFT_JIS", "\x82\xA0x", u"\u3042x"},
        {"ja_JP.SHIFT_JIS", "x\x82", u"x\uFFFD"},              // truncated at the end
        {"ja_JP.SHIFT_JIS", "\xA0x\xFFy", u"\uFFFDx\uFFFDy"},  // bytes with no meaning
        {"ja_JP.SHIFT_JIS", "", u""},
    };
    for (const Case& c : cases) {
        ScopedLocale locale(kUnset, kUnset, c.lang);
        EXPECT_EQ(WideFromAnsi(c.ansi), c.wide) << c.lang << " " << c.ansi;
    }
}

TEST(CodePageTest, AnsiFromWide) {
    struct Case {
        const char* lang;
        std::u16string wide;
        std::string ansi;
    };
    const Case cases[] = {
        {"C", u"abc", "abc"},
        {"C", u"\u00E4\U0001F600", "\xC3\xA4\xF0\x9F\x98\x80"},
        {"C", std::u16string(u"a\xD800z", 3), "a\xEF\xBF\xBDz"},  // unpaired surrogate
        {"de_DE.ISO-8859-1", u"a\u00E4z", "a\xE4z"},
        {"de_DE.ISO-8859-1", u"\u20AC\U0001F600!",
         "?"
         "?!"},  // missing characters
        {"de_DE.ISO-8859-1", std::u16string(u"a\xDC00", 2), "a?"},
        {"de_DE.ISO-8859-1", std::u16string(u"a\xD800", 2), "a?"},  // cut pair at the end
        {"ja_JP.SHIFT_JIS", u"\u3042x", "\x82\xA0x"},
        {"ru_RU.KOI8-R", u"", ""},
    };
    for (const Case& c : cases) {
        ScopedLocale locale(kUnset, kUnset, c.lang);
        EXPECT_EQ(AnsiFromWide(c.wide), c.ansi) << c.lang;
    }
}

TEST(CodePageTest, LongTextRoundTripsThroughALegacyCodePage) {
    ScopedLocale locale(kUnset, kUnset, "de_DE.ISO-8859-1");
    std::u16string wide;
    for (int i = 0; i < 100000; ++i) wide.push_back(static_cast<char16_t>(0x20 + i % 0xDF));
    std::string ansi = AnsiFromWide(wide);
    EXPECT_EQ(ansi.size(), wide.size());
    EXPECT_EQ(WideFromAnsi(ansi), wide);
}

}  // namespace
