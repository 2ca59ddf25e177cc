// ScopedTempDir in a temporary folder of the test's choosing: the lowest free number, the
// removal, and the errors. Links, FIFOs and mode bits are in scoped_temp_dir_posix_test.

#include "util/files/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "util/files/scoped_temp_dir_internal.h"
#include "util/testing/platform_constants.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"
#include "util/testing/temp_dir_path.h"

namespace {

namespace fs = std::filesystem;
using common::sdk::ScopedTempDir;
using util_testing::HeldPath;
using util_testing::ReadFileBytes;
using util_testing::TempName;

class ScopedTempDirTest : public ::testing::Test {
  protected:
    util_testing::ScratchDir scratch_;
    fs::path temp_ = scratch_.path() / "temp";
    util_testing::ScopedEnvVar tmpdir_{util_testing::kTempVariable, temp_.string()};
};

TEST_F(ScopedTempDirTest, HoldsOneDirectoryFromCreateUntilDelete) {
    ScopedTempDir dir, second;
    CPath untouched(u"untouched");
    EXPECT_FALSE(dir.GetPath(&untouched) || dir.GetPath(nullptr));
    ASSERT_TRUE(dir.Create() && dir.GetPath(nullptr));
    const fs::path held = HeldPath(dir);
    EXPECT_EQ(held, temp_ / TempName(1));
    EXPECT_TRUE(fs::is_directory(held) && fs::is_empty(held));
    // Create again: the first directory is removed before the search, so 1 is free again.
    ASSERT_TRUE(second.Create());
    EXPECT_EQ(HeldPath(second), temp_ / TempName(2));
    scratch_.WriteFile("temp/" + TempName(1) + "/old.bin", "old");
    ASSERT_TRUE(dir.Create());
    EXPECT_EQ(HeldPath(dir), held);
    EXPECT_TRUE(fs::is_empty(held) && std::distance(fs::directory_iterator(temp_), {}) == 2);

    dir.Delete();
    EXPECT_TRUE(!dir.GetPath(&untouched) && untouched.ToUtf8() == "untouched");
    EXPECT_TRUE(!fs::exists(held) && fs::is_directory(temp_ / TempName(2)));
    dir.Delete();  // nothing held: nothing happens
    EXPECT_FALSE(dir.GetPath(nullptr));
}

TEST_F(ScopedTempDirTest, TakesTheLowestFreeNumberAndLeavesOthersEntriesAlone) {
    std::vector<std::string> oneToA;  // tmpa.TMP is tmpA.TMP only where case does not count
    for (char d : std::string("123456789a")) oneToA.push_back(std::string("tmp") + d + ".TMP");
    const bool cased = util_testing::kCaseSensitiveNames;
    // Files and folders already there, and the number taken.
    using Names = std::vector<std::string>;
    const std::tuple<const char*, Names, Names, unsigned> cases[] = {
        {"empty folder", {}, {}, 1},
        {"a file holds 1, a folder 2", {"tmp1.TMP"}, {"tmp2.TMP"}, 3},
        {"a gap", {"tmp1.TMP", "tmp3.TMP"}, {}, 2},
        {"other case and names", {"TMP1.TMP", "tmp1.tmp", "tmp01.TMP"}, {}, cased ? 1u : 2u},
        {"hexadecimal", oneToA, {}, cased ? 0xAu : 0xBu},
    };
    for (const auto& [what, files, folders, expected] : cases) {
        SCOPED_TRACE(what);
        fs::remove_all(temp_);
        fs::create_directories(temp_);
        for (const auto& name : files) scratch_.WriteFile("temp/" + name, "theirs");
        for (const auto& name : folders) fs::create_directory(temp_ / name);
        ScopedTempDir dir;
        ASSERT_TRUE(dir.Create());
        EXPECT_EQ(HeldPath(dir), temp_ / TempName(expected));
        dir.Delete();
        for (const auto& name : files) EXPECT_EQ(ReadFileBytes(temp_ / name), "theirs") << name;
        for (const auto& name : folders) EXPECT_TRUE(fs::is_directory(temp_ / name)) << name;
    }
}

// Delete throws CErrWin32 (code 3, path not found) when the held directory is gone, and keeps
// the path, also when Create deletes first; the destructor swallows the error (one escaping it
// would end this program).
TEST_F(ScopedTempDirTest, DeleteOfADirectoryGoneThrowsAndKeepsThePath) {
    ScopedTempDir dir, abandoned;
    ASSERT_TRUE(dir.Create() && abandoned.Create());
    const fs::path held = HeldPath(dir);
    for (const fs::path& path : {held, HeldPath(abandoned)}) fs::remove(path);
    for (bool create : {false, true, false}) {
        try {
            create ? dir.Create() : (dir.Delete(), true);
            ADD_FAILURE() << "no exception";
        } catch (const NCcl::CErrWin32& error) {
            EXPECT_EQ(error.GetErrorCode(), 3u);
        }
        EXPECT_EQ(HeldPath(dir), held);
    }
    fs::create_directory(held);
    dir.Delete();
    EXPECT_FALSE(dir.GetPath(nullptr) || fs::exists(held));
}

TEST_F(ScopedTempDirTest, TemporaryFolderIsCreatedOrRefused) {
    // The longest folder (with its separator) for which "tmp1.TMP" still fits the path limit.
    const size_t fits = ScopedTempDir::kMaxPath - 1 - std::string("tmp1.TMP").size();
    const std::string base = scratch_.path().string() + "/";
    auto folderOfLength = [&](size_t n) { return base + std::string(n - base.size() - 1, 'x'); };
    scratch_.WriteFile("file", "not a folder");
    const std::tuple<const char*, std::string, bool> cases[] = {
        {"missing with its parents", base + "a/b/c", true},
        {"just fits", folderOfLength(fits), true},
        {"one too long for any name", folderOfLength(fits + 1), false},
        {"a file", base + "file", false},
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
            EXPECT_EQ(HeldPath(dir), fs::path(tmpdir) / TempName(1));
            EXPECT_TRUE(fs::is_directory(fs::path(tmpdir) / TempName(1)));
        } else {
            EXPECT_THROW(dir.Create(), NCcl::CErrFailToCreateTmpFolder);
            EXPECT_FALSE(dir.GetPath(nullptr));
        }
        EXPECT_FALSE(fs::exists(before));
    }
    EXPECT_EQ(ReadFileBytes(scratch_.path() / "file"), "not a folder");
}

// What no created folder shows: a root and a relative name cannot be shortened further, and
// only one trailing separator is ignored.
TEST(ScopedTempDirRules, ParentFolderKeepsTheRootAndTheTrailingSeparator) {
    std::u16string parents;  // of "/a", "/", "a", "a/b", "/a//", each followed by "|"
    for (const char16_t* path : {u"/a", u"/", u"a", u"a/b", u"/a//"})
        parents += common::sdk::temp_dir_internal::ParentFolder(path) + u"|";
    EXPECT_EQ(parents, u"/|/||a/|/a/|");
}

}  // namespace
