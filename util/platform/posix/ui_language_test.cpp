#include "util/platform/ui_language.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <optional>
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

// Sets the locale variables for the object's lifetime and restores them afterwards.
class LocaleVariables {
  public:
    explicit LocaleVariables(const std::map<std::string, std::optional<std::string>>& values) {
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* old = ::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
            auto it = values.find(name);
            Set(name, it == values.end() ? std::nullopt : it->second);
        }
    }
    ~LocaleVariables() {
        for (const auto& [name, value] : saved_) Set(name, value);
    }

  private:
    static void Set(const std::string& name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST(PosixUILanguageTest, QueriesReadTheLocaleVariables) {
    struct Case {
        std::map<std::string, std::optional<std::string>> variables;
        std::optional<std::vector<std::u16string>> preferred;
        std::optional<std::pair<std::u16string, std::u16string>> userDefault;
    } cases[] = {
        {{{"LANGUAGE", "ja_JP:en"}, {"LANG", "de_DE.UTF-8"}},
         {{u"ja-JP", u"en"}},
         {{u"de", u"DE"}}},
        {{{"LANGUAGE", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", "zh_TW.UTF-8"}, {"LANG", "en_US"}},
         std::nullopt,
         {{u"zh", u"TW"}}},
        {{{"LC_ALL", "C"}, {"LANG", "en_US.UTF-8"}}, std::nullopt, std::nullopt},
        {{{"LANGUAGE", "C"}, {"LANG", "POSIX"}}, std::nullopt, std::nullopt},
        {{}, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        LocaleVariables scope(c.variables);
        std::vector<std::u16string> names;
        EXPECT_EQ(util_platform::PreferredUILanguages(&names), c.preferred.has_value());
        if (c.preferred) {
            EXPECT_EQ(names, *c.preferred);
        }
        std::u16string language, region;
        EXPECT_EQ(util_platform::UserDefaultUILanguage(&language, &region),
                  c.userDefault.has_value());
        if (c.userDefault) {
            EXPECT_EQ(language, c.userDefault->first);
            EXPECT_EQ(region, c.userDefault->second);
        }
    }
}

}  // namespace
