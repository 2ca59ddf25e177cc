// Locale names on POSIX: the ANSI code page they name and the UI languages they give.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "util/base/utf.h"
#include "util/platform/codepage.h"
#include "util/platform/ui_language.h"
#include "util/testing/scoped_env_var.h"

namespace {

using util_platform::AnsiFromWide;
using util_platform::WideFromAnsi;
using Env = std::optional<std::string>;

// Sets the three locale variables for the lifetime of the object.
struct ScopedLocale {
    ScopedLocale(Env lang, Env lcCtype = std::nullopt, Env lcAll = std::nullopt)
        : all("LC_ALL", lcAll), ctype("LC_CTYPE", lcCtype), lang_("LANG", lang) {}
    util_testing::ScopedEnvVar all, ctype, lang_;
};

TEST(CodePageTest, CodePageFollowsTheLocaleVariables) {
    const std::tuple<Env, Env, Env, const char*> cases[] = {
        {{}, {}, {}, "UTF-8"},
        {"C", {}, {}, "UTF-8"},
        {"POSIX", {}, {}, "UTF-8"},
        {"de_DE.ISO-8859-1", {}, {}, "ISO-8859-1"},
        {"de_DE.ISO-8859-15@euro", {}, {}, "ISO-8859-15"},
        {"de_DE.utf8", {}, {}, "UTF-8"},
        {"de_DE", {}, {}, "UTF-8"},              // no character set named
        {"xx_XX.NO-SUCH-SET", {}, {}, "UTF-8"},  // unknown to the converter
        {"de_DE.ISO-8859-1", "ru_RU.KOI8-R", {}, "KOI8-R"},
        {"de_DE.ISO-8859-1", "ru_RU.KOI8-R", "ja_JP.SHIFT_JIS", "SHIFT_JIS"},
        {"de_DE.ISO-8859-1", "", "", "ISO-8859-1"},  // empty counts as unset
    };
    for (const auto& [lang, lcCtype, lcAll, expected] : cases) {
        ScopedLocale locale(lang, lcCtype, lcAll);
        EXPECT_EQ(util_platform::AnsiCodePage(), expected) << lang.value_or("-");
    }
}

// Rows in both directions unless marked: `toWide` only (what decodes but is not written back)
// or `toAnsi` only (what the code page lacks, written as '?').
TEST(CodePageTest, ConvertsThroughTheLocalesCharacterSet) {
    enum Way { kBoth, kToWide, kToAnsi };
    const std::tuple<const char*, std::string, std::u16string, Way> cases[] = {
        {"C", "abc", u"abc", kBoth},
        {"C", "\xC3\xA4-\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u00E4-\u20AC\U0001F600", kBoth},
        {"C", "a\xE4z", u"a\uFFFDz", kToWide},  // malformed UTF-8
        {"C", {"a\0b", 3}, {u"a\0b", 3}, kBoth},
        {"C", "a\xEF\xBF\xBDz", {u"a\xD800z", 3}, kToAnsi},  // unpaired surrogate
        {"de_DE.ISO-8859-1", "a\xE4z", u"a\u00E4z", kBoth},
        {"de_DE.ISO-8859-1", "?\?!", u"\u20AC\U0001F600!", kToAnsi},  // missing characters
        {"de_DE.ISO-8859-1", "a?", {u"a\xDC00", 2}, kToAnsi},
        {"de_DE.ISO-8859-1", "a?", {u"a\xD800", 2}, kToAnsi},  // cut pair at the end
        {"de_DE.ISO-8859-15", "\xA4", u"\u20AC", kBoth},
        {"ru_RU.KOI8-R", "\xC1", u"\u0430", kBoth},
        {"ja_JP.SHIFT_JIS", "\x82\xA0x", u"\u3042x", kBoth},
        {"ja_JP.SHIFT_JIS", "x\x82", u"x\uFFFD", kToWide},              // truncated at the end
        {"ja_JP.SHIFT_JIS", "\xA0x\xFFy", u"\uFFFDx\uFFFDy", kToWide},  // bytes with no meaning
        {"ja_JP.SHIFT_JIS", "", u"", kBoth},
    };
    for (const auto& [lang, ansi, wide, way] : cases) {
        ScopedLocale locale(lang);
        if (way != kToAnsi) {
            EXPECT_EQ(WideFromAnsi(ansi), wide) << lang << " " << ansi;
        }
        if (way != kToWide) {
            EXPECT_EQ(AnsiFromWide(wide), ansi) << lang << " " << ansi;
        }
    }
    // A long text round-trips through a legacy code page.
    ScopedLocale locale("de_DE.ISO-8859-1");
    std::u16string wide;
    for (int i = 0; i < 100000; ++i) wide.push_back(static_cast<char16_t>(0x20 + i % 0xDF));
    const std::string ansi = AnsiFromWide(wide);
    EXPECT_EQ(ansi.size(), wide.size());
    EXPECT_EQ(WideFromAnsi(ansi), wide);
}

TEST(PosixUILanguageTest, ParseLocaleName) {
    // nullptr: not a language; nothing is stored.
    const std::tuple<std::u16string, const char16_t*, std::u16string> cases[] = {
        {u"en_US.UTF-8", u"en", u"US"}, {u"zh", u"zh", u""},
        {u"de_DE@euro", u"de", u"DE"},  {u"sr_RS.UTF-8@latin", u"sr", u"RS"},
        {u"EN_us", u"en", u"US"},       {u"ast_ES", u"ast", u"ES"},
        {u"en_U", u"en", u""},          {u"en_US_x", u"en", u""},
        {u"C", nullptr, u"?"},          {u"C.UTF-8", nullptr, u"?"},
        {u"POSIX", nullptr, u"?"},      {u"", nullptr, u"?"},
        {u"e1_US", nullptr, u"?"},      {u"_US", nullptr, u"?"},
    };
    for (const auto& [locale, language, region] : cases) {
        std::u16string gotLanguage = u"?", gotRegion = u"?";
        SCOPED_TRACE(util_base::Utf16ToUtf8(locale));
        EXPECT_EQ(util_platform::ParseLocaleName(locale, &gotLanguage, &gotRegion), !!language);
        EXPECT_EQ(gotLanguage, language ? language : u"?");
        EXPECT_EQ(gotRegion, region);
    }
}

TEST(PosixUILanguageTest, ParseLanguageList) {
    const std::pair<std::u16string, std::vector<std::u16string>> cases[] = {
        {u"en_US:fr::de_DE.UTF-8", {u"en-US", u"fr", u"de-DE"}},
        {u"zh_TW", {u"zh-TW"}},
        {u"C:POSIX", {}},
        {u"", {}},
        {u":ja:", {u"ja"}},
    };
    for (const auto& [list, names] : cases)
        EXPECT_EQ(util_platform::ParseLanguageList(list), names) << util_base::Utf16ToUtf8(list);
}

}  // namespace
