#include "util/environment/ui_language.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "util/environment/test_install_tree.h"
#include "util/testing/platform_constants.h"

namespace {

namespace env = common::sdk::environment;
using util_testing::InstallTree;
using util_testing::LogCapture;

std::vector<std::string> Utf8List(const StringList& list) {
    std::vector<std::string> out;
    for (const CString& s : list) out.push_back(s.ToUtf8());
    return out;
}

// The names in a list separated by `separator` ("" holds none).
std::vector<std::string> Names(const std::string& list, char separator = ',') {
    std::vector<std::string> names;
    std::istringstream in(list);
    for (std::string name; std::getline(in, name, separator);) names.push_back(name);
    return names;
}

std::vector<std::u16string> WideNames(const std::string& list) {
    std::vector<std::u16string> names;
    for (const std::string& name : Names(list)) names.emplace_back(CString::FromUtf8(name).View());
    return names;
}

TEST(UILanguageTest, SelectUILanguageChoosesAsDocumented) {
    // os null: the system names none; folders and files: inside "locales"; default null: no
    // settings file; expected null: the selection fails.
    using S = const char*;
    for (const auto& [name, forced, os, folders, files, defaultLanguage, expected] :
         std::vector<std::tuple<S, const char16_t*, S, S, S, S, S>>{
             {"forced, kept as written", u"EN-us", "ja", "en-US", "", "ja", "EN-us"},
             {"forced without folder: default unchecked", u"fr-FR", "ja", "ja", "", "de", "de"},
             {"forced without folder or default", u"fr-FR", nullptr, "ja", "", nullptr, nullptr},
             {"forced name of a file is no language", u"fr-FR", nullptr, "ja", "fr-FR", "ja", "ja"},
             {"auto: first OS language with a folder", u"", "de-DE,en-US", "en-US,ja", "", "ja",
              "en-US"},
             {"auto: default from the end of the list", u"", "de-DE,en-US", "ja", "", "ja", "ja"},
             {"auto: written as in the OS list", u"", "en-us", "en-US", "", "ja", "en-us"},
             {"auto: default written as in the file", u"", nullptr, "ja", "", "JA", "JA"},
             {"auto: no default fails despite a folder", u"", "en-US", "en-US", "", nullptr,
              nullptr},
             {"auto: empty default fails", u"", "en-US", "en-US", "", "", nullptr},
             {"auto: no locales folder", u"", "en-US", "", "", "en-US", nullptr},
             {"auto: no candidate has a folder", u"", "de-DE", "ja", "", "en-US", nullptr},
             {"auto: a file named like a language", u"", "fr-FR", "ja", "fr-FR", "ja", "ja"},
         }) {
        SCOPED_TRACE(name);
        InstallTree tree;
        for (const auto& folder : Names(folders)) tree.AddLocaleFolder(folder);
        for (const auto& file : Names(files)) tree.AddLocaleFile(file);
        if (defaultLanguage) tree.SetDefaultLanguage(defaultLanguage);
        if (os) tree.SetPreferredLanguages(WideNames(os));

        CString language(u"untouched");
        EXPECT_FALSE(env::SelectUILanguage(CString(forced), nullptr));
        EXPECT_EQ(env::SelectUILanguage(CString(forced), &language), expected != nullptr);
        EXPECT_EQ(language.ToUtf8(), expected ? expected : "untouched");
    }
}

TEST(UILanguageTest, SupportedLanguagesAreTheLocaleSubfolders) {
    InstallTree tree;
    tree.AddLocaleFolder("zh-Hans");
    tree.AddLocaleFolder(".hidden");
    tree.AddLocaleFile("fr-FR");
    const bool links = util_testing::kTestsMakeLinks;
    if (links) {
        std::filesystem::create_directory_symlink("zh-Hans", tree.Folder() / "locales" / "zh");
        std::filesystem::create_directory_symlink("missing", tree.Folder() / "locales" / "ko");
    }
    StringList languages{CString(u"stale")};
    env::GetSupportLanguages(&languages);
    std::vector<std::string> names = Utf8List(languages);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, Names(links ? ".hidden,zh,zh-Hans" : ".hidden,zh-Hans"));
    EXPECT_TRUE(env::IsSupportedLanguage(CString(u"ZH-HANS")));
    EXPECT_FALSE(env::IsSupportedLanguage(CString(u"fr-FR")));
    EXPECT_EQ(env::IsSupportedLanguage(CString(u"zh")), links);  // a link to a folder
    EXPECT_FALSE(env::IsSupportedLanguage(CString(u"ko")));      // a link to nothing
}

TEST(UILanguageTest, OSUILanguagesFromEitherSource) {
    // preferred null: the system has no list; language null: no user default; expected: what
    // follows the "x" the list started with, null when the answer is false.
    for (const auto& [preferred, language, region, expected] :
         std::vector<std::tuple<const char*, const char16_t*, const char16_t*, const char*>>{
             {"de-DE,en-US", u"ja", u"JP", "de-DE,en-US"},
             {nullptr, u"en", u"US", "en-US,en"},
             {nullptr, u"zh", u"TW", "zh-TW,zh-Hant,zh"},
             {nullptr, u"zh", u"HK", "zh-HK,zh-Hant,zh"},
             {nullptr, u"zh", u"MO", "zh-MO,zh-Hant,zh"},
             {nullptr, u"zh", u"CN", "zh-CN,zh-Hans,zh"},
             {nullptr, u"zh", u"SG", "zh-SG,zh-Hans,zh"},
             {nullptr, u"zh", u"", "zh-Hans,zh"},
             {nullptr, u"ja", u"", "ja"},
             {nullptr, nullptr, u"", nullptr},
         }) {
        InstallTree tree;
        if (preferred) tree.SetPreferredLanguages(WideNames(preferred));
        if (language) tree.SetUserDefault(language, region);
        StringList list{CString(u"x")};
        EXPECT_FALSE(env::GetOSUILanguages(nullptr));
        EXPECT_EQ(env::GetOSUILanguages(&list), expected != nullptr);
        const std::string want = std::string("x,") + (expected ? expected : "");
        EXPECT_EQ(Utf8List(list), Names(want)) << want;
    }
}

// present and absent: log texts separated by "|".
TEST(UILanguageTest, LogLinesAndWhereTheyGo) {
    using S = const char*;
    for (const auto& [name, forced, debug, defaultLanguage, present, absent] :
         std::vector<std::tuple<S, const char16_t*, bool, S, S, S>>{
             {"forced", u"EN-us", false, "ja", "SelectUILanguage(force): EN-us", ""},
             {"forced fallback is silent", u"fr-FR", true, "ja", "", "SelectUILanguage|languages="},
             {"automatic, debug on", u"", true, "ja",
              "OS UI languages='de-DE,en-US,ja'|Support languages='en-US'", ""},
             {"automatic, debug off", u"", false, "ja", "", "languages="},
             {"no default", u"", false, nullptr, "Fail to get default language", "languages="},
         }) {
        SCOPED_TRACE(name);
        InstallTree tree;
        tree.AddLocaleFolder("en-US");
        tree.SetPreferredLanguages({u"de-DE", u"en-US"});
        if (defaultLanguage) tree.SetDefaultLanguage(defaultLanguage);
        LogCapture log(debug);
        CString language;
        env::SelectUILanguage(CString(forced), &language);
        const std::string text = log.Text();
        for (const auto& line : Names(present, '|'))
            EXPECT_NE(text.find(line), std::string::npos) << text;
        for (const auto& line : Names(absent, '|'))
            EXPECT_EQ(text.find(line), std::string::npos) << text;
    }
}

}  // namespace
