#include "util/platform/ui_language.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/base/utf.h"

namespace {

using util_platform::ParseLanguageList;
using util_platform::ParseLocaleName;

TEST(PosixUILanguageTest, ParseLocaleName) {
    struct Case {
        std::u16string locale;
        bool ok;
        std::u16string language, region;
    } cases[] = {
        {u"en_US.UTF-8", true, u"en", u"US"},
        {u"zh_TW.UTF-8", true, u"zh", u"TW"},
        {u"zh_CN", true, u"zh", u"CN"},
        {u"zh", true, u"zh", u""},
        {u"ja", true, u"ja", u""},
        {u"de_DE@euro", true, u"de", u"DE"},
        {u"sr_RS.UTF-8@latin", true, u"sr", u"RS"},
        {u"EN_us", true, u"en", u"US"},
        {u"ast_ES", true, u"ast", u"ES"},
        {u"en_", true, u"en", u""},
        {u"en_U", true, u"en", u""},
        {u"en_US_x", true, u"en", u""},
        {u"C", false, u"", u""},
        {u"C.UTF-8", false, u"", u""},
        {u"POSIX", false, u"", u""},
        {u"", false, u"", u""},
        {u"e1_US", false, u"", u""},
        {u"_US", false, u"", u""},
    };
    for (const Case& c : cases) {
        std::u16string language = u"?", region = u"?";
        bool ok = ParseLocaleName(c.locale, &language, &region);
        SCOPED_TRACE(util_base::Utf16ToUtf8(c.locale));
        EXPECT_EQ(ok, c.ok);
        if (ok) {
            EXPECT_EQ(language, c.language);
            EXPECT_EQ(region, c.region);
        } else {
            EXPECT_EQ(language, u"?");  // nothing stored on failure
        }
    }
}

TEST(PosixUILanguageTest, ParseLanguageList) {
    struct Case {
        std::u16string list;
        std::vector<std::u16string> names;
    } cases[] = {
        {u"en_US:fr::de_DE.UTF-8", {u"en-US", u"fr", u"de-DE"}},
        {u"zh_TW", {u"zh-TW"}},
        {u"C:POSIX", {}},
        {u"", {}},
        {u":ja:", {u"ja"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseLanguageList(c.list), c.names) << util_base::Utf16ToUtf8(c.list);
}

}  // namespace
