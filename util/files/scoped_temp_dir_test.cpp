#include "util/files/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "util/files/scoped_temp_dir_internal.h"
#include "util/platform/folder_tree.h"
#include "util/testing/platform_constants.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using common::sdk::ScopedTempDir;
using util_testing::ReadFileBytes;
using Names = std::set<std::string>;
using util_testing::TempName;

Names Entries(const fs::path& folder) {
    Names names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

fs::path HeldPath(const ScopedTempDir& dir) {
    CPath path;
    EXPECT_TRUE(dir.GetPath(&path));
    return fs::path(path.ToUtf8());
}

class ScopedTempDirTest : public ::testing::Test {
  protected:
    util_testing::ScratchDir scratch_;
    fs::path temp_ = scratch_.path() / "temp";
    util_testing::ScopedEnvVar tmpdir_{util_testing::kTempVariable, temp_.string()};
};

TEST_F(ScopedTempDirTest, HoldsOnePrivateDirectoryFromCreateUntilDelete) {
    ScopedTempDir dir, second;
    CPath untouched(u"untouched");
    EXPECT_FALSE(dir.GetPath(&untouched));
    EXPECT_FALSE(dir.GetPath(nullptr));
    ASSERT_TRUE(dir.Create());
    EXPECT_TRUE(dir.GetPath(nullptr));
    const fs::path held = HeldPath(dir);
    EXPECT_EQ(held, temp_ / util_testing::TempName(1));
    EXPECT_TRUE(fs::is_directory(held));
    EXPECT_TRUE(fs::is_empty(held));
    if (util_testing::kPosixPermissions) {
        EXPECT_EQ(fs::status(held).permissions() & fs::perms::all, fs::perms::owner_all);
    }

    // Create again: the first directory is removed before the search, so 1 is free again.
    ASSERT_TRUE(second.Create());
    EXPECT_EQ(HeldPath(second), temp_ / util_testing::TempName(2));
    scratch_.WriteFile("temp/" + util_testing::TempName(1) + "/old.bin", "old");
    ASSERT_TRUE(dir.Create());
    EXPECT_EQ(HeldPath(dir), held);
    EXPECT_TRUE(fs::is_empty(held));
    EXPECT_EQ(Entries(temp_), (Names{util_testing::TempName(1), util_testing::TempName(2)}));

    dir.Delete();
    EXPECT_FALSE(dir.GetPath(&untouched));
    EXPECT_EQ(untouched.ToUtf8(), "untouched");
    EXPECT_FALSE(fs::exists(held));
    EXPECT_TRUE(fs::is_directory(temp_));
    dir.Delete();  // nothing held: nothing happens
    EXPECT_FALSE(dir.GetPath(nullptr));
}

TEST_F(ScopedTempDirTest, TakesTheLowestFreeNumberAndLeavesOthersEntriesAlone) {
    struct Case {
        const char* what;
        std::vector<std::string> files, folders, danglingLinks;
        std::string expected;
    };
    std::vector<std::string> oneToA;
    for (char digit : std::string("123456789a"))
        oneToA.push_back(std::string("tmp") + digit + ".TMP");
    const Case cases[] = {
        {"empty folder", {}, {}, {}, util_testing::TempName(1)},
        {"a file holds 1", {"tmp1.TMP"}, {}, {}, util_testing::TempName(2)},
        {"a folder and a dangling link", {}, {"tmp1.TMP"}, {"tmp2.TMP"}, util_testing::TempName(3)},
        {"a gap", {"tmp1.TMP", "tmp3.TMP"}, {}, {}, util_testing::TempName(2)},
        {"other case and names",
         {"TMP1.TMP", "tmp1.tmp", "tmp01.TMP"},
         {},
         {},
         util_testing::kCaseSensitiveNames ? util_testing::TempName(1) : util_testing::TempName(2)},
        {"hexadecimal",
         oneToA,
         {},
         {},
         util_testing::kCaseSensitiveNames ? util_testing::TempName(0xA)
                                           : util_testing::TempName(0xB)},  // tmpa.TMP is tmpA.TMP
    };
    for (const Case& c : cases) {
        if (!c.danglingLinks.empty() && !util_testing::kTestsMakeLinks) continue;
        SCOPED_TRACE(c.what);
        fs::remove_all(temp_);
        fs::create_directories(temp_);
        for (const auto& name : c.files) scratch_.WriteFile("temp/" + name, "theirs");
        for (const auto& name : c.folders) fs::create_directory(temp_ / name);
        for (const auto& name : c.danglingLinks) fs::create_symlink("/nonexistent", temp_ / name);
        ScopedTempDir dir;
        ASSERT_TRUE(dir.Create());
        EXPECT_EQ(HeldPath(dir), temp_ / c.expected);
        dir.Delete();
        for (const auto& name : c.files) EXPECT_EQ(ReadFileBytes(temp_ / name), "theirs") << name;
        for (const auto& name : c.folders) EXPECT_TRUE(fs::is_directory(temp_ / name)) << name;
        for (const auto& name : c.danglingLinks) EXPECT_TRUE(fs::is_symlink(temp_ / name)) << name;
    }
}

// Fills the held directory with every kind of entry, including links that lead outside it.
// Delete throws CErrWin32 when the held directory is gone (code 3, path not found) or was
// replaced by a link (which is not followed), and keeps the path, also when Create deletes
// first; the destructor swallows the error (one escaping it would end this program).
TEST_F(ScopedTempDirTest, DeleteOfADirectoryGoneOrReplacedThrowsAndKeepsThePath) {
    for (bool byLink : {false, true}) {
        if (byLink && !util_testing::kTestsMakeLinks) continue;
        SCOPED_TRACE(byLink ? "replaced by a link" : "removed by someone else");
        ScopedTempDir dir, abandoned;
        ASSERT_TRUE(dir.Create() && abandoned.Create());
        const fs::path held = HeldPath(dir);
        scratch_.WriteFile("outside/keep.txt", "keep");
        for (const fs::path& path : {held, HeldPath(abandoned)}) fs::remove(path);
        if (byLink) fs::create_symlink(scratch_.path() / "outside", held);
        for (bool create : {false, true, false}) {
            try {
                create ? dir.Create() : (dir.Delete(), true);
                ADD_FAILURE() << "no exception";
            } catch (const NCcl::CErrWin32& error) {
                EXPECT_TRUE(byLink || error.GetErrorCode() == 3u) << error.GetErrorCode();
            }
            EXPECT_EQ(HeldPath(dir), held);
        }
        EXPECT_EQ(ReadFileBytes(scratch_.path() / "outside/keep.txt"), "keep");
        fs::remove(held);
        fs::create_directory(held);
        dir.Delete();
        EXPECT_FALSE(dir.GetPath(nullptr));
        EXPECT_FALSE(fs::exists(held));
    }
    EXPECT_EQ(Entries(temp_), Names{});
}

TEST_F(ScopedTempDirTest, TemporaryFolderIsCreatedOrRefused) {
    // The longest folder (with its separator) for which "tmp1.TMP" still fits the path limit.
    const size_t fits = ScopedTempDir::kMaxPath - 1 - std::string("tmp1.TMP").size();
    const std::string base = scratch_.path().string() + "/";
    auto folderOfLength = [&](size_t length) {
        return base + std::string(length - base.size() - 1, 'x');
    };
    scratch_.WriteFile("file", "not a folder");
    const std::tuple<const char*, std::string, bool> cases[] = {
        {"missing with its parents", base + "a/b/c", true},
        {"trailing separator", base + "d/", true},
        {"just fits", folderOfLength(fits), true},
        {"one too long for any name", folderOfLength(fits + 1), false},
        {"a file", base + "file", false},
        {"below a file", base + "file/sub", false},
        {"longer than the path limit", "/" + std::string(ScopedTempDir::kMaxPath, 'y'), false},
    };
    for (const auto& [what, tmpdir, created] : cases) {
        SCOPED_TRACE(what);
        // An object that already holds a directory: Create removes it whatever follows.
        ScopedTempDir dir;
        ASSERT_TRUE(dir.Create());
        const fs::path before = HeldPath(dir);
        util_testing::ScopedEnvVar env(util_testing::kTempVariable, tmpdir);
        if (created) {
            ASSERT_TRUE(dir.Create());
            EXPECT_EQ(HeldPath(dir), fs::path(tmpdir) / util_testing::TempName(1));
            EXPECT_TRUE(fs::is_directory(fs::path(tmpdir) / util_testing::TempName(1)));
        } else {
            EXPECT_THROW(dir.Create(), NCcl::CErrFailToCreateTmpFolder);
            EXPECT_FALSE(dir.GetPath(nullptr));
        }
        EXPECT_FALSE(fs::exists(before));
    }
    EXPECT_EQ(ReadFileBytes(scratch_.path() / "file"), "not a folder");
}

TEST(ScopedTempDirRules, ParentFolderKeepsTheRootAndTheTrailingSeparator) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"/a/b/", u"/a/"}, {u"/a/b", u"/a/"}, {u"/a/", u"/"},    {u"/a", u"/"},
        {u"/", u"/"},       {u"", u""},        {u"a/b/", u"a/"},  {u"a/b", u"a/"},
        {u"a", u""},        {u"a/", u""},      {u"/a//", u"/a/"},
    };
    for (const auto& [path, parent] : cases)
        EXPECT_EQ(common::sdk::temp_dir_internal::ParentFolder(path), parent)
            << CString(path).ToUtf8();
}

}  // namespace
