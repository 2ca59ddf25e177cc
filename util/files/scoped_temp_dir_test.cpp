// ScopedTempDir in a temporary folder of the test's choosing: the lowest free number, the
// removal, and the errors. On POSIX its directory is also private (0700), and a POSIX-only part
// covers file kinds: a dangling link takes a number, and the removal of a tree that holds
// symbolic links, a FIFO and a folder without write permission never follows a link, also when
// a folder is swapped for a link while the removal runs or the held directory itself was
// replaced by one. (The Windows backend has its own test of reparse points.)

#include "util/files/scoped_temp_dir.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "util/files/scoped_temp_dir_internal.h"
#include "util/platform/folder_tree.h"
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
    const auto mode = fs::status(held).permissions() & fs::perms::all;  // private where it can be
    EXPECT_TRUE(!util_testing::kPosixPermissions || mode == fs::perms::owner_all);
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

    // Directories gone behind the objects' backs: Delete throws CErrWin32 (code 3, path not
    // found) and keeps the path, also when Create deletes first; the destructor of `second`
    // swallows the error (one escaping it would end this program).
    ASSERT_TRUE(dir.Create());
    for (const fs::path& path : {held, HeldPath(second)}) fs::remove(path);
    for (bool create : {false, true, false}) {
        try {
            create ? void(dir.Create()) : dir.Delete();
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

#ifndef _WIN32
// By Delete, by the destructor, by Delete after a folder was swapped for a link while the tree
// was being removed, and after the held directory was replaced by a link: those attempts throw
// and keep the path; the next removes the link. A dangling link beside it takes number 1 (the
// search does not follow links) and is left alone.
TEST_F(ScopedTempDirTest, RemovesTheWholeTreeButNeverWhatLinksPointTo) {
    const fs::path outside = scratch_.path() / "outside";
    auto fill = [&](const fs::path& root) {  // every kind of entry, links leading outside too
        const std::string r = fs::relative(root, scratch_.path()).string() + "/";
        for (const char* file : {"a.bin", ".hidden", "sub/b.bin", "sub/deeper/deepest/c.bin",
                                 "not-utf8-\xff\xfe", "locked/file.bin"})
            scratch_.WriteFile(r + file, "x");
        fs::create_directories(root / "empty");
        fs::create_symlink(outside / "keep.txt", root / "file-link");
        fs::create_symlink(outside / "folder", root / "sub" / "folder-link");
        fs::create_symlink("../../..", root / "sub" / "deeper" / "up-link");
        fs::create_symlink("/nonexistent/target", root / "dangling");
        EXPECT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);
        fs::permissions(root / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    };
    scratch_.WriteFile("outside/keep.txt", "keep");
    scratch_.WriteFile("outside/folder/inner.txt", "inner");
    fs::create_directories(temp_);
    fs::create_symlink("/nonexistent", temp_ / TempName(1));
    for (const std::string way : {"Delete", "destructor", "swapped", "replaced"}) {
        SCOPED_TRACE(way);
        fs::path held;
        {
            ScopedTempDir dir;
            ASSERT_TRUE(dir.Create());
            held = HeldPath(dir);
            EXPECT_EQ(held, temp_ / TempName(2));
            fill(held);
            if (way == "swapped") {
                util_platform::SetBeforeOpenChildHookForTesting([&](const std::string& name) {
                    if (name != "sub") return;
                    fs::rename(held / "sub", held / "moved");
                    fs::create_symlink(outside, held / "sub");
                });
                EXPECT_THROW(dir.Delete(), NCcl::CErrWin32);
                util_platform::SetBeforeOpenChildHookForTesting(nullptr);
            }
            if (way == "replaced") {
                fs::rename(held, temp_ / "aside");
                fs::create_symlink(outside, held);
                for (bool create : {false, true, false})
                    EXPECT_THROW(create ? void(dir.Create()) : dir.Delete(), NCcl::CErrWin32);
                fs::remove(held);
                fs::rename(temp_ / "aside", held);
            }
            EXPECT_EQ(HeldPath(dir), held);
            if (way != "destructor") dir.Delete();
            EXPECT_EQ(dir.GetPath(nullptr), way == "destructor");
        }
        EXPECT_EQ(ReadFileBytes(outside / "keep.txt") + ReadFileBytes(outside / "folder/inner.txt"),
                  "keepinner");
        // Nothing left of the held path, not even a link: only the dangling link beside it.
        EXPECT_TRUE(std::distance(fs::directory_iterator(temp_), {}) == 1 &&
                    fs::is_symlink(temp_ / TempName(1)));
        EXPECT_EQ(std::distance(fs::directory_iterator(scratch_.path()), {}), 2);  // and temp
    }
}
#endif

}  // namespace
