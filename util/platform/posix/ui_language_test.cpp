#include "util/platform/ui_language.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "util/base/utf.h"

namespace {

TEST(PosixUILanguageTest, ParseLocaleName) {
    // nullptr: not a language; nothing is stored.
    const std::tuple<std::u16string, const char16_t*, std::u16string> cases[] = {
        {u"en_US.UTF-8", u"en", u"US"},
        {u"zh", u"zh", u""},
        {u"de_DE@euro", u"de", u"DE"},
        {u"sr_RS.UTF-8@latin", u"sr", u"RS"},
        {u"EN_us", u"en", u"US"},
        {u"ast_ES", u"ast", u"ES"},
        {u"en_U", u"en", u""},
        {u"en_US_x", u"en", u""},
        {u"C", nullptr, u"?"},
        {u"C.UTF-8", nullptr, u"?"},
        {u"POSIX", nullptr, u"?"},
        {u"", nullptr, u"?"},
        {u"e1_US", nullptr, u"?"},
        {u"_US", nullptr, u"?"},
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
