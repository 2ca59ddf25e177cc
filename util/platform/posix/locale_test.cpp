// Locale names on POSIX: the ANSI code page they name and the UI languages they give.

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
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
    // LANG, LC_CTYPE, LC_ALL. A locale without a character set, or with one the converter does
    // not know, gives UTF-8; an empty variable counts as unset. ("C" and a modifier after the
    // character set are rows of the conversion table below.)
    const std::tuple<Env, Env, Env, const char*> cases[] = {
        {{}, {}, {}, "UTF-8"},
        {"POSIX", {}, {}, "UTF-8"},
        {"de_DE.utf8", {}, {}, "UTF-8"},
        {"de_DE", {}, {}, "UTF-8"},
        {"xx_XX.NO-SUCH-SET", {}, {}, "UTF-8"},
        {"de_DE.ISO-8859-1", "ru_RU.KOI8-R", {}, "KOI8-R"},
        {"de_DE.ISO-8859-1", "ru_RU.KOI8-R", "ja_JP.SHIFT_JIS", "SHIFT_JIS"},
        {"de_DE.ISO-8859-1", "", "", "ISO-8859-1"},
    };
    for (const auto& [lang, lcCtype, lcAll, expected] : cases) {
        ScopedLocale locale(lang, lcCtype, lcAll);
        EXPECT_EQ(util_platform::AnsiCodePage(), expected) << lang.value_or("-");
    }
}

// Rows in both directions unless marked: `toWide` only (what decodes but is not written back)
// or `toAnsi` only (what the code page lacks, written as '?'). A UTF-8 locale converts as the
// library's own UTF-8 conversion does (its bad-input rules are tested there), the whole text
// including zero bytes; one row of each single-byte and multibyte code page.
TEST(CodePageTest, ConvertsThroughTheLocalesCharacterSet) {
    enum Way { kBoth, kToWide, kToAnsi };
    std::u16string longWide;  // a long text in a legacy code page: each byte is its character
    for (int i = 0; i < 100000; ++i) longWide.push_back(static_cast<char16_t>(0x20 + i % 0xDF));
    const std::string longAnsi(longWide.begin(), longWide.end());
    const std::tuple<const char*, std::string, std::u16string, Way> cases[] = {
        {"C", {"\xC3\xA4\0\xE2\x82\xAC", 6}, {u"\u00E4\0\u20AC", 3}, kBoth},
        {"de_DE.ISO-8859-1", "a\xE4z", u"a\u00E4z", kBoth},
        {"de_DE.ISO-8859-1", "?\?!", u"\u20AC\U0001F600!", kToAnsi},  // missing characters
        {"de_DE.ISO-8859-1", "a?", {u"a\xDC00", 2}, kToAnsi},
        {"de_DE.ISO-8859-1", "a?", {u"a\xD800", 2}, kToAnsi},  // cut pair at the end
        {"de_DE.ISO-8859-15@euro", "\xA4", u"\u20AC", kBoth},
        {"ja_JP.SHIFT_JIS", "\x82\xA0x", u"\u3042x", kBoth},
        {"ja_JP.SHIFT_JIS", "x\x82", u"x\uFFFD", kToWide},              // truncated at the end
        {"ja_JP.SHIFT_JIS", "\xA0x\xFFy", u"\uFFFDx\uFFFDy", kToWide},  // bytes with no meaning
        {"de_DE.ISO-8859-1", longAnsi, longWide, kBoth},
    };
    for (const auto& [lang, ansi, wide, way] : cases) {
        ScopedLocale locale(lang);
        EXPECT_EQ(way == kToAnsi ? wide : WideFromAnsi(ansi), wide) << lang << " " << ansi;
        EXPECT_EQ(way == kToWide ? ansi : AnsiFromWide(wide), ansi) << lang << " " << ansi;
    }
}

TEST(PosixUILanguageTest, ParseLocaleName) {
    // Rows "name +language|region;" when the name gives a language, "name -?|?;" when it does
    // not, and then nothing is stored.
    std::istringstream rows(
        "en_US.UTF-8 +en|US;zh +zh|;de_DE@euro +de|DE;sr_RS.UTF-8@latin +sr|RS;EN_us +en|US;"
        "ast_ES +ast|ES;en_U +en|;en_US_x +en|;C -?|?;C.UTF-8 -?|?;POSIX -?|?; -?|?;e1_US -?|?;"
        "_US -?|?;");
    for (std::string row; std::getline(rows, row, ';');) {
        const std::string name = row.substr(0, row.find(' '));
        std::u16string language = u"?", region = u"?";
        const bool ok =
            util_platform::ParseLocaleName(util_base::Utf8ToUtf16(name), &language, &region);
        EXPECT_EQ(name + (ok ? " +" : " -") + util_base::Utf16ToUtf8(language + u"|" + region),
                  row);
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
