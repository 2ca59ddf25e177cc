#include "util/environment/path_service.h"

#include <gtest/gtest.h>

#include <string>

#include "util/environment/path_table.h"
#include "util/environment/test_install_tree.h"
#include "util/testing/platform_constants.h"

namespace {

using common::sdk::PathService;
using common::sdk::PathType;
using util_testing::InstallTree;

// The six paths in enumeration order, relative to the install folder, between the answers for the
// values just outside PathType (always empty); each followed by '|'.
std::string StoredPaths(const InstallTree& tree) {
    const std::string root = tree.Folder().u8string() + util_testing::kSeparator;
    std::string paths;
    for (int type = common::sdk::PATH_LOCALE_DIR - 1;
         type <= common::sdk::PATH_LOCALE_DAWNQUILL_FILE + 1; ++type) {
        CPath path(u"untouched");
        PathService::GetInstance().Get(static_cast<PathType>(type), &path);
        const std::string p = path.ToUtf8();
        paths += (p.rfind(root, 0) == 0 ? p.substr(root.size()) : p) + "|";
    }
    return paths;
}

// The six paths of a language, as StoredPaths shows them.
std::string ExpectedPaths(const std::string& language) {
    const std::string d = "locales/" + language, paths = d + "|" + d + "/ResourceRes.dll|" + d +
                                                         "/TESSMAR.chm|" + d + "/license.txt|";
    return "|" + util_testing::Native(paths + "dawnquill.txt|" + d + "/dawnquill.txt|") + "|";
}

// Each test starts from the table as the module's load leaves it: empty.
class PathServiceTest : public ::testing::Test {
  protected:
    void SetUp() override { common::sdk::g_pathTable.clear(); }
    void TearDown() override { common::sdk::g_pathTable.clear(); }
};

// Empty until a successful Init; a successful Init stores the paths of the language selected
// (which language is SelectUILanguage's rule), a failed one keeps the paths and says so in the
// log, as do the language selection's own lines. Get answers empty for a value outside PathType and
// ignores a null path.
TEST_F(PathServiceTest, InitStoresTheSelectedLanguagesPathsOrKeepsThem) {
    // Runs Init with the debug log on or off and answers the log's messages.
    auto init = [](const char16_t* language, bool expected, bool debug = false) {
        util_testing::LogCapture log(debug);
        EXPECT_EQ(PathService::GetInstance().Init(CString(language)), expected);
        return log.Messages();
    };
    InstallTree tree;  // no settings file: every selection fails
    tree.AddLocaleFolder("ja");
    EXPECT_EQ(init(u"", false, true), "Fail to get default language|Fail to SelectUILanguage()|");
    EXPECT_EQ(StoredPaths(tree), "||||||||");

    tree.SetDefaultLanguage("ja");
    EXPECT_EQ(init(u"", true), "");  // the candidates and the choice are debug lines
    EXPECT_EQ(init(u"", true, true),
              "OS UI languages='ja'|Support languages='ja'|Selected language='ja'|");
    EXPECT_EQ(StoredPaths(tree), ExpectedPaths("ja"));
    // A forced language without folder falls back to the default without a line of its own.
    EXPECT_EQ(init(u"fr-FR", true, true), "Selected language='ja'|");
    EXPECT_EQ(init(u"JA", true), "SelectUILanguage(force): JA|");  // the forced spelling is kept
    EXPECT_EQ(StoredPaths(tree), ExpectedPaths("JA"));
    tree.SetDefaultLanguage("");  // from now on every selection fails, a forced one silently
    EXPECT_EQ(init(u"fr-FR", false, true), "Fail to SelectUILanguage()|");
    init(u"", false);
    EXPECT_EQ(StoredPaths(tree), ExpectedPaths("JA"));

    PathService::GetInstance().Get(common::sdk::PATH_LOCALE_DIR, nullptr);
}

}  // namespace
