#include "util/environment/ui_language.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "util/common/cstring_util.h"
#include "util/environment/test_install_tree.h"
#include "util/testing/platform_constants.h"

namespace {

namespace env = common::sdk::environment;
using util_testing::InstallTree;
using S = const char*;

// The names in a list separated by commas ("" holds none), of ASCII letters.
template <class Name = std::string>
std::vector<Name> Names(const std::string& list) {
    std::vector<Name> names;
    std::istringstream in(list);
    for (std::string name; std::getline(in, name, ',');)
        names.emplace_back(name.begin(), name.end());
    return names;
}

// An install tree with the locale folders named and, beside them, a file named "fr-FR" (a file
// is no language); the OS UI languages (null: the system names none) and the default language of
// the settings file (null: no settings file).
void Fill(InstallTree& tree, S folders, S os, S default_language) {
    for (const auto& folder : Names(folders)) tree.AddLocaleFolder(folder);
    if (*folders) tree.AddLocaleFile("fr-FR");
    if (default_language) tree.SetDefaultLanguage(default_language);
    if (os) tree.SetPreferredLanguages(Names<std::u16string>(os));
}

std::string Joined(const StringList& list) {
    return common::sdk::cstring_util::Join(list, u",").ToUtf8();
}

TEST(UILanguageTest, SelectUILanguageChoosesAsDocumented) {
    // expected null: the selection fails.
    for (const auto& [name, forced, os, folders, default_language, expected] :
         std::vector<std::tuple<S, const char16_t*, S, S, S, S>>{
             {"forced: kept as written", u"EN-us", "ja", "en-US", "ja", "EN-us"},
             {"forced, no folder: default unchecked", u"fr-FR", "ja", "ja", "de", "de"},
             {"forced, no folder or default", u"fr-FR", nullptr, "ja", nullptr, nullptr},
             {"auto: first OS language with a folder", u"", "de-DE,en-US", "en-US,ja", "ja",
              "en-US"},
             {"auto: default from the end of the list", u"", "de-DE,en-US", "ja", "ja", "ja"},
             {"auto: default as written in the file", u"", nullptr, "ja", "JA", "JA"},
             {"auto: no default fails despite a folder", u"", "en-US", "en-US", nullptr, nullptr},
             {"auto: empty default fails", u"", "en-US", "en-US", "", nullptr},
             {"auto: no locales folder", u"", "en-US", "", "en-US", nullptr},
             {"auto: no candidate has a folder", u"", "fr-FR", "ja", "en-US", nullptr},
         }) {
        SCOPED_TRACE(name);
        InstallTree tree;
        Fill(tree, folders, os, default_language);
        CString language(u"untouched");
        EXPECT_FALSE(env::SelectUILanguage(CString(forced), nullptr));
        EXPECT_EQ(env::SelectUILanguage(CString(forced), &language), expected != nullptr);
        EXPECT_EQ(language.ToUtf8(), expected ? expected : "untouched");
    }
}

TEST(UILanguageTest, SupportedLanguagesAreTheLocaleSubfolders) {
    InstallTree tree;
    Fill(tree, "zh-Hans,.hidden", nullptr, nullptr);
    const bool links = util_testing::kTestsMakeLinks;
    if (links) {
        std::filesystem::create_directory_symlink("zh-Hans", tree.Folder() / "locales" / "zh");
        std::filesystem::create_directory_symlink("missing", tree.Folder() / "locales" / "ko");
    }
    StringList languages{CString(u"stale")};
    env::GetSupportLanguages(&languages);
    std::sort(languages.begin(), languages.end());
    EXPECT_EQ(Joined(languages), links ? ".hidden,zh,zh-Hans" : ".hidden,zh-Hans");
    EXPECT_TRUE(env::IsSupportedLanguage(CString(u"ZH-HANS")));
    EXPECT_FALSE(env::IsSupportedLanguage(CString(u"fr-FR")));
    EXPECT_EQ(env::IsSupportedLanguage(CString(u"zh")), links);  // a link to a folder
    EXPECT_FALSE(env::IsSupportedLanguage(CString(u"ko")));      // a link to nothing
}

TEST(UILanguageTest, OSUILanguagesFromEitherSource) {
    // preferred null: the system has no list; language null: no user default; expected: what
    // follows the "x" the list started with, null when the answer is false.
    for (const auto& [preferred, language, region, expected] :
         std::vector<std::tuple<S, const char16_t*, const char16_t*, S>>{
             {"de-DE,en-US", u"ja", u"JP", "de-DE,en-US"},
             {nullptr, u"en", u"US", "en-US,en"},
             {nullptr, u"zh", u"TW", "zh-TW,zh-Hant,zh"},
             {nullptr, u"zh", u"HK", "zh-HK,zh-Hant,zh"},
             {nullptr, u"zh", u"MO", "zh-MO,zh-Hant,zh"},
             {nullptr, u"zh", u"CN", "zh-CN,zh-Hans,zh"},
             {nullptr, u"zh", u"", "zh-Hans,zh"},
             {nullptr, nullptr, u"", nullptr},
         }) {
        InstallTree tree;
        Fill(tree, "", preferred, nullptr);
        if (language) tree.SetUserDefault(language, region);
        StringList list{CString(u"x")};
        EXPECT_FALSE(env::GetOSUILanguages(nullptr));
        EXPECT_EQ(env::GetOSUILanguages(&list), expected != nullptr);
        EXPECT_EQ(Joined(list), expected ? std::string("x,") + expected : "x");
    }
}

}  // namespace
