// ScopedTempDir with POSIX file kinds and modes: its directory is private (0700), a dangling
// link takes a number, and the removal of a tree that holds symbolic links, a FIFO and a folder
// without write permission never follows a link, also when a folder is swapped for a link
// while the removal runs or the held directory itself was replaced by one. (The Windows
// backend has its own test of reparse points.)

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "util/files/scoped_temp_dir.h"
#include "util/platform/folder_tree.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"
#include "util/testing/temp_dir_path.h"

namespace {

namespace fs = std::filesystem;
using common::sdk::ScopedTempDir;
using util_testing::HeldPath;
using util_testing::ReadFileBytes;

class ScopedTempDirPosixTest : public ::testing::Test {
  protected:
    // Every kind of entry, including links that lead outside the folder.
    void Fill(const fs::path& root) {
        const std::string r = fs::relative(root, scratch_.path()).string() + "/";
        for (const char* file : {"a.bin", ".hidden", "sub/b.bin", "sub/deeper/deepest/c.bin",
                                 "not-utf8-\xff\xfe", "locked/file.bin"})
            scratch_.WriteFile(r + file, "x");
        fs::create_directories(root / "empty");
        fs::create_symlink(outside_ / "keep.txt", root / "file-link");
        fs::create_symlink(outside_ / "folder", root / "sub" / "folder-link");
        fs::create_symlink("../../..", root / "sub" / "deeper" / "up-link");
        fs::create_symlink("/nonexistent/target", root / "dangling");
        EXPECT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);
        fs::permissions(root / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    }
    std::string Outside() const {  // "keep|inner" while intact
        return ReadFileBytes(outside_ / "keep.txt") + "|" +
               ReadFileBytes(outside_ / "folder/inner.txt");
    }
    util_testing::ScratchDir scratch_;
    fs::path temp_ = scratch_.path() / "temp", outside_ = scratch_.path() / "outside";
    util_testing::ScopedEnvVar tmpdir_{"TMPDIR", temp_.string()};
};

TEST_F(ScopedTempDirPosixTest, PrivateDirectoryAfterADanglingLinkThatTakesANumber) {
    fs::create_directories(temp_);
    fs::create_symlink("/nonexistent", temp_ / "tmp1.TMP");
    ScopedTempDir dir;
    ASSERT_TRUE(dir.Create());
    EXPECT_EQ(HeldPath(dir), temp_ / "tmp2.TMP");
    EXPECT_EQ(fs::status(HeldPath(dir)).permissions() & fs::perms::all, fs::perms::owner_all);
    dir.Delete();
    EXPECT_TRUE(fs::is_symlink(temp_ / "tmp1.TMP"));
}

// By Delete, by the destructor, by Delete after a folder was swapped for a link while the tree
// was being removed, and after the held directory was replaced by a link: those attempts throw
// and keep the path; the next removes the link.
TEST_F(ScopedTempDirPosixTest, RemovesTheWholeTreeButNeverWhatLinksPointTo) {
    for (const std::string way : {"Delete", "destructor", "swapped", "replaced"}) {
        SCOPED_TRACE(way);
        scratch_.WriteFile("outside/keep.txt", "keep");
        scratch_.WriteFile("outside/folder/inner.txt", "inner");
        fs::path held;
        {
            ScopedTempDir dir;
            ASSERT_TRUE(dir.Create());
            held = HeldPath(dir);
            Fill(held);
            if (way == "swapped") {
                util_platform::SetBeforeOpenChildHookForTesting([&](const std::string& name) {
                    if (name != "sub") return;
                    fs::rename(held / "sub", held / "moved");
                    fs::create_symlink(outside_, held / "sub");
                });
                EXPECT_THROW(dir.Delete(), NCcl::CErrWin32);
                util_platform::SetBeforeOpenChildHookForTesting(nullptr);
            }
            if (way == "replaced") {
                fs::rename(held, temp_ / "aside");
                fs::create_symlink(outside_, held);
                for (bool create : {false, true, false})
                    EXPECT_THROW(create ? dir.Create() : (dir.Delete(), true), NCcl::CErrWin32);
                fs::remove(held);
                fs::rename(temp_ / "aside", held);
            }
            EXPECT_EQ(Outside(), "keep|inner");
            EXPECT_EQ(HeldPath(dir), held);
            if (way != "destructor") dir.Delete();
            EXPECT_EQ(dir.GetPath(nullptr), way == "destructor");
            EXPECT_EQ(Outside(), "keep|inner");
        }
        EXPECT_TRUE(fs::is_empty(temp_));  // nothing left of the held path, not even a link
        EXPECT_EQ(std::distance(fs::directory_iterator(scratch_.path()), {}), 2);  // and temp
        fs::remove_all(outside_);
    }
}

}  // namespace
