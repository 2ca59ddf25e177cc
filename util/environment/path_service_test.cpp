#include "util/environment/path_service.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "util/environment/path_table.h"
#include "util/environment/test_install_tree.h"
#include "util/testing/platform_constants.h"

namespace {

using common::sdk::PathService;
using common::sdk::PathType;
using util_testing::InstallTree;
using util_testing::LogCapture;

bool Init(const char16_t* language) {
    return PathService::GetInstance().Init(CString(language));
}

// The six paths, in enumeration order, relative to the install folder.
std::vector<std::string> StoredPaths(const InstallTree& tree) {
    const std::string root = tree.Folder().u8string() + util_testing::kSeparator;
    std::vector<std::string> paths;
    for (int type = common::sdk::PATH_LOCALE_DIR; type <= common::sdk::PATH_LOCALE_DAWNQUILL_FILE;
         ++type) {
        CPath path(u"untouched");
        PathService::GetInstance().Get(static_cast<PathType>(type), &path);
        const std::string p = path.ToUtf8();
        paths.push_back(p.rfind(root, 0) == 0 ? p.substr(root.size()) : p);
    }
    return paths;
}

std::vector<std::string> ExpectedPaths(const std::string& language) {
    const std::string dir = "locales/" + language;
    std::vector<std::string> paths = {dir,
                                      dir + "/ResourceRes.dll",
                                      dir + "/TESSMAR.chm",
                                      dir + "/license.txt",
                                      "dawnquill.txt",
                                      dir + "/dawnquill.txt"};
    for (std::string& path : paths) path = util_testing::Native(path);
    return paths;
}

// Each test starts from the table as the module's load leaves it: empty.
class PathServiceTest : public ::testing::Test {
  protected:
    void SetUp() override { common::sdk::g_pathTable.clear(); }
    void TearDown() override { common::sdk::g_pathTable.clear(); }
};

// Which language is selected is SelectUILanguage's rule; the paths follow its answer.
TEST_F(PathServiceTest, InitStoresTheSixPaths) {
    for (const auto& [forced, folders, expectedLanguage] :
         std::vector<std::tuple<const char16_t*, std::vector<std::string>, std::string>>{
             {u"", {"ja"}, "ja"},             // automatic: the default language
             {u"EN-us", {"en-US"}, "EN-us"},  // the forced spelling, not the folder's
         }) {
        SCOPED_TRACE(CString(forced).ToUtf8());
        InstallTree tree;
        tree.SetDefaultLanguage("ja");
        for (const auto& folder : folders) tree.AddLocaleFolder(folder);
        ASSERT_TRUE(Init(forced));
        EXPECT_EQ(StoredPaths(tree), ExpectedPaths(expectedLanguage));
    }
}

// Empty until a successful Init; a later successful Init replaces the paths, a failed one keeps
// them. Get answers empty for a value outside PathType and ignores a null path.
TEST_F(PathServiceTest, FailedInitKeepsThePathsAndGetEdgeCases) {
    InstallTree tree;  // no settings file: every selection fails
    tree.AddLocaleFolder("ja");
    tree.AddLocaleFolder("zh-Hans");
    EXPECT_EQ(StoredPaths(tree), std::vector<std::string>(6, ""));
    EXPECT_FALSE(Init(u""));
    EXPECT_FALSE(Init(u"fr-FR"));
    EXPECT_EQ(StoredPaths(tree), std::vector<std::string>(6, ""));

    tree.SetDefaultLanguage("ja");
    ASSERT_TRUE(Init(u"ja"));
    ASSERT_TRUE(Init(u"zh-Hans"));
    EXPECT_EQ(StoredPaths(tree), ExpectedPaths("zh-Hans"));
    tree.SetDefaultLanguage("");  // from now on every selection fails
    EXPECT_FALSE(Init(u"fr-FR"));
    EXPECT_FALSE(Init(u""));
    EXPECT_EQ(StoredPaths(tree), ExpectedPaths("zh-Hans"));

    PathService::GetInstance().Get(common::sdk::PATH_LOCALE_DIR, nullptr);
    for (int value : {-1, 6, 42}) {
        CPath path(u"untouched");
        PathService::GetInstance().Get(static_cast<PathType>(value), &path);
        EXPECT_TRUE(path.IsEmpty()) << value << ": " << path.ToUtf8();
    }
}

TEST_F(PathServiceTest, LogLines) {
    // present null: no line expected.
    for (const auto& [selectable, debug, present, absent] :
         std::vector<std::tuple<bool, bool, const char*, const char*>>{
             {true, true, "Selected language='ja'", "Fail to SelectUILanguage()"},
             {true, false, nullptr, "Selected language="},
             {false, false, "Fail to SelectUILanguage()", "Selected language="},
         }) {
        InstallTree tree;
        tree.AddLocaleFolder("ja");
        if (selectable) tree.SetDefaultLanguage("ja");
        LogCapture log(debug);
        EXPECT_EQ(Init(u""), selectable);
        const std::string text = log.Text();
        EXPECT_TRUE(!present || text.find(present) != std::string::npos) << text;
        EXPECT_EQ(text.find(absent), std::string::npos) << text;
    }
}

}  // namespace
