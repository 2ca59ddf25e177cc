#include "util/environment/ui_language.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "util/environment/test_install_tree.h"

namespace {

namespace env = common::sdk::environment;
using util_testing::InstallTree;
using util_testing::LogCapture;

std::vector<std::string> Utf8List(const StringList& list) {
    std::vector<std::string> out;
    for (const CString& s : list) out.push_back(s.ToUtf8());
    return out;
}

TEST(UILanguageTest, SelectUILanguageChoosesAsDocumented) {
    struct Case {
        const char* name;
        std::u16string forced;
        std::optional<std::vector<std::u16string>> os;  // nullopt: the system names none
        std::vector<std::string> folders;
        std::vector<std::string> files;  // plain files inside "locales"
        std::optional<std::string> defaultLanguage;
        const char* expected;  // nullptr: selection fails
    } cases[] = {
        {"forced, kept as written", u"EN-us", {{u"ja"}}, {"en-US"}, {}, "ja", "EN-us"},
        {"forced without folder takes the default unchecked",
         u"fr-FR",
         {{u"ja"}},
         {"ja"},
         {},
         "de",
         "de"},
        {"forced without folder and without default",
         u"fr-FR",
         {},
         {"ja"},
         {},
         std::nullopt,
         nullptr},
        {"forced name of a file is no language", u"fr-FR", {}, {"ja"}, {"fr-FR"}, "ja", "ja"},
        {"automatic: first OS language with a folder",
         u"",
         {{u"de-DE", u"en-US"}},
         {"en-US", "ja"},
         {},
         "ja",
         "en-US"},
        {"automatic: default from the end of the list",
         u"",
         {{u"de-DE", u"en-US"}},
         {"ja"},
         {},
         "ja",
         "ja"},
        {"automatic: written as in the OS list", u"", {{u"en-us"}}, {"en-US"}, {}, "ja", "en-us"},
        {"automatic: default is written as in the file", u"", std::nullopt, {"ja"}, {}, "JA", "JA"},
        {"automatic: no default fails despite a folder",
         u"",
         {{u"en-US"}},
         {"en-US"},
         {},
         std::nullopt,
         nullptr},
        {"automatic: empty default fails", u"", {{u"en-US"}}, {"en-US"}, {}, "", nullptr},
        {"automatic: no locales folder", u"", {{u"en-US"}}, {}, {}, "en-US", nullptr},
        {"automatic: no candidate has a folder", u"", {{u"de-DE"}}, {"ja"}, {}, "en-US", nullptr},
        {"automatic: a file named like a language",
         u"",
         {{u"fr-FR"}},
         {"ja"},
         {"fr-FR"},
         "ja",
         "ja"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallTree tree;
        for (const auto& folder : c.folders) tree.AddLocaleFolder(folder);
        for (const auto& file : c.files) tree.AddLocaleFile(file);
        if (c.defaultLanguage) tree.SetDefaultLanguage(*c.defaultLanguage);
        if (c.os) tree.SetPreferredLanguages(*c.os);

        CString language(u"untouched");
        EXPECT_FALSE(env::SelectUILanguage(CString(c.forced), nullptr));
        bool ok = env::SelectUILanguage(CString(c.forced), &language);
        EXPECT_EQ(ok, c.expected != nullptr);
        EXPECT_EQ(language.ToUtf8(), c.expected ? c.expected : "untouched");
    }
}

TEST(UILanguageTest, SupportedLanguagesAreTheLocaleSubfolders) {
    InstallTree tree;
    tree.AddLocaleFolder("zh-Hans");
    tree.AddLocaleFolder(".hidden");
    tree.AddLocaleFile("fr-FR");
    std::filesystem::create_directory_symlink("zh-Hans", tree.Folder() / "locales" / "zh");
    std::filesystem::create_directory_symlink("missing", tree.Folder() / "locales" / "ko");
    StringList languages{CString(u"stale")};
    env::GetSupportLanguages(&languages);
    std::vector<std::string> names = Utf8List(languages);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".hidden", "zh", "zh-Hans"}));
    EXPECT_TRUE(env::IsSupportedLanguage(CString(u"ZH-HANS")));
    EXPECT_FALSE(env::IsSupportedLanguage(CString(u"fr-FR")));
    EXPECT_TRUE(env::IsSupportedLanguage(CString(u"zh")));   // a link to a folder
    EXPECT_FALSE(env::IsSupportedLanguage(CString(u"ko")));  // a link to nothing
}

TEST(UILanguageTest, OSUILanguagesFromEitherSource) {
    struct Case {
        std::optional<std::vector<std::u16string>> preferred;
        std::optional<std::u16string> language;
        std::u16string region;
        bool ok;
        std::vector<std::string> expected;  // after the "x" the list started with
    } cases[] = {
        {{{u"de-DE", u"en-US"}}, u"ja", u"JP", true, {"x", "de-DE", "en-US"}},
        {std::nullopt, u"en", u"US", true, {"x", "en-US", "en"}},
        {std::nullopt, u"zh", u"TW", true, {"x", "zh-TW", "zh-Hant", "zh"}},
        {std::nullopt, u"zh", u"HK", true, {"x", "zh-HK", "zh-Hant", "zh"}},
        {std::nullopt, u"zh", u"MO", true, {"x", "zh-MO", "zh-Hant", "zh"}},
        {std::nullopt, u"zh", u"CN", true, {"x", "zh-CN", "zh-Hans", "zh"}},
        {std::nullopt, u"zh", u"SG", true, {"x", "zh-SG", "zh-Hans", "zh"}},
        {std::nullopt, u"zh", u"", true, {"x", "zh-Hans", "zh"}},
        {std::nullopt, u"ja", u"", true, {"x", "ja"}},
        {std::nullopt, std::nullopt, u"", false, {"x"}},
    };
    for (const Case& c : cases) {
        InstallTree tree;
        if (c.preferred) tree.SetPreferredLanguages(*c.preferred);
        if (c.language) tree.SetUserDefault(*c.language, c.region);
        StringList list{CString(u"x")};
        EXPECT_FALSE(env::GetOSUILanguages(nullptr));
        EXPECT_EQ(env::GetOSUILanguages(&list), c.ok);
        EXPECT_EQ(Utf8List(list), c.expected);
    }
}

TEST(UILanguageTest, LogLinesAndWhereTheyGo) {
    struct Case {
        const char* name;
        std::u16string forced;
        bool debug;
        std::optional<std::string> defaultLanguage;
        std::vector<std::string> present, absent;
    } cases[] = {
        {"forced", u"EN-us", false, "ja", {"SelectUILanguage(force): EN-us"}, {}},
        {"forced fallback is silent", u"fr-FR", true, "ja", {}, {"SelectUILanguage", "languages="}},
        {"automatic, debug on",
         u"",
         true,
         "ja",
         {"OS UI languages='de-DE,en-US,ja'", "Support languages='en-US'"},
         {}},
        {"automatic, debug off", u"", false, "ja", {}, {"languages="}},
        {"no default", u"", false, std::nullopt, {"Fail to get default language"}, {"languages="}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallTree tree;
        tree.AddLocaleFolder("en-US");
        tree.SetPreferredLanguages({u"de-DE", u"en-US"});
        if (c.defaultLanguage) tree.SetDefaultLanguage(*c.defaultLanguage);
        LogCapture log(c.debug);
        CString language;
        env::SelectUILanguage(CString(c.forced), &language);
        std::string text = log.Text();
        for (const auto& line : c.present) EXPECT_NE(text.find(line), std::string::npos) << text;
        for (const auto& line : c.absent) EXPECT_EQ(text.find(line), std::string::npos) << text;
    }
}

}  // namespace
