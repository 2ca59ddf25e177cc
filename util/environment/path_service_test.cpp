#include "util/environment/path_service.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/environment/path_table.h"
#include "util/environment/test_install_tree.h"

namespace {

using common::sdk::PathService;
using common::sdk::PathType;
using util_testing::InstallTree;
using util_testing::LogCapture;

constexpr PathType kAllTypes[] = {
    common::sdk::PATH_LOCALE_DIR,         common::sdk::PATH_RESOURCE_DLL,
    common::sdk::PATH_HELP_FILE,          common::sdk::PATH_LICENSE_FILE,
    common::sdk::PATH_EXE_DAWNQUILL_FILE, common::sdk::PATH_LOCALE_DAWNQUILL_FILE,
};

// The six paths, in enumeration order, relative to the install folder.
std::vector<std::string> StoredPaths(const InstallTree& tree) {
    std::string root = tree.Folder().string() + "/";
    std::vector<std::string> paths;
    for (PathType type : kAllTypes) {
        CPath path(u"untouched");
        PathService::GetInstance().Get(type, &path);
        std::string p = path.ToUtf8();
        paths.push_back(p.rfind(root, 0) == 0 ? p.substr(root.size()) : p);
    }
    return paths;
}

std::vector<std::string> ExpectedPaths(const std::string& language) {
    std::string dir = "locales/" + language;
    return {dir,
            dir + "/ResourceRes.dll",
            dir + "/TESSMAR.chm",
            dir + "/license.txt",
            "dawnquill.txt",
            dir + "/dawnquill.txt"};
}

// Each test starts from the table as the module's load leaves it: empty.
class PathServiceTest : public ::testing::Test {
  protected:
    void SetUp() override { common::sdk::g_pathTable.clear(); }
    void TearDown() override { common::sdk::g_pathTable.clear(); }
};

TEST_F(PathServiceTest, InitStoresTheSixPaths) {
    struct Case {
        std::u16string forced;
        std::vector<std::string> folders;
        std::string expectedLanguage;
    } cases[] = {
        {u"ja", {"ja", "en-US"}, "ja"},
        {u"", {"ja"}, "ja"},             // automatic: the default language
        {u"fr-FR", {"en-US"}, "ja"},     // forced without a folder: the default, unchecked
        {u"EN-us", {"en-US"}, "EN-us"},  // the forced spelling, not the folder's
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CString(c.forced).ToUtf8());
        InstallTree tree;
        tree.SetDefaultLanguage("ja");
        for (const auto& folder : c.folders) tree.AddLocaleFolder(folder);
        ASSERT_TRUE(PathService::GetInstance().Init(CString(c.forced)));
        EXPECT_EQ(StoredPaths(tree), ExpectedPaths(c.expectedLanguage));
    }
}

TEST_F(PathServiceTest, EmptyPathsUntilASuccessfulInit) {
    InstallTree tree;  // no settings file: every selection fails
    tree.AddLocaleFolder("ja");
    const std::vector<std::string> empty(6, "");
    EXPECT_EQ(StoredPaths(tree), empty);
    EXPECT_FALSE(PathService::GetInstance().Init(CString()));
    EXPECT_FALSE(PathService::GetInstance().Init(CString(u"fr-FR")));
    EXPECT_EQ(StoredPaths(tree), empty);
}

TEST_F(PathServiceTest, SecondInitReplacesOrKeepsThePaths) {
    InstallTree tree;
    tree.SetDefaultLanguage("ja");
    tree.AddLocaleFolder("ja");
    tree.AddLocaleFolder("zh-Hans");
    ASSERT_TRUE(PathService::GetInstance().Init(CString(u"ja")));
    ASSERT_TRUE(PathService::GetInstance().Init(CString(u"zh-Hans")));
    EXPECT_EQ(StoredPaths(tree), ExpectedPaths("zh-Hans"));

    tree.SetDefaultLanguage("");  // from now on every selection fails
    EXPECT_FALSE(PathService::GetInstance().Init(CString(u"fr-FR")));
    EXPECT_FALSE(PathService::GetInstance().Init(CString()));
    EXPECT_EQ(StoredPaths(tree), ExpectedPaths("zh-Hans"));
}

TEST_F(PathServiceTest, GetWithNullOrUnknownType) {
    InstallTree tree;
    tree.SetDefaultLanguage("ja");
    tree.AddLocaleFolder("ja");
    ASSERT_TRUE(PathService::GetInstance().Init(CString()));
    PathService::GetInstance().Get(common::sdk::PATH_LOCALE_DIR, nullptr);
    for (int value : {-1, 6, 42}) {
        CPath path(u"untouched");
        PathService::GetInstance().Get(static_cast<PathType>(value), &path);
        EXPECT_TRUE(path.IsEmpty()) << value << ": " << path.ToUtf8();
    }
    CPath stored;
    PathService::GetInstance().Get(common::sdk::PATH_LOCALE_DIR, &stored);
    EXPECT_EQ(stored.ToUtf8(), tree.Folder().string() + "/locales/ja");
}

TEST_F(PathServiceTest, LogLines) {
    struct Case {
        bool selectable, debug;
        std::vector<std::string> present, absent;
    } cases[] = {
        {true, true, {"Selected language='ja'"}, {"Fail to SelectUILanguage()"}},
        {true, false, {}, {"Selected language="}},
        {false, false, {"Fail to SelectUILanguage()"}, {"Selected language="}},
    };
    for (const Case& c : cases) {
        InstallTree tree;
        tree.AddLocaleFolder("ja");
        if (c.selectable) tree.SetDefaultLanguage("ja");
        LogCapture log(c.debug);
        EXPECT_EQ(PathService::GetInstance().Init(CString()), c.selectable);
        std::string text = log.Text();
        for (const auto& line : c.present) EXPECT_NE(text.find(line), std::string::npos) << text;
        for (const auto& line : c.absent) EXPECT_EQ(text.find(line), std::string::npos) << text;
    }
}

}  // namespace
