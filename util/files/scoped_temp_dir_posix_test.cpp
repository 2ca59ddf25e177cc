// The removal of a tree that holds symbolic links, a FIFO and a folder without write
// permission, and a folder swapped for a link while the removal runs: POSIX file kinds and
// permissions (the Windows backend has its own test of reparse points).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>

#include "util/files/scoped_temp_dir.h"
#include "util/platform/folder_tree.h"
#include "util/testing/platform_constants.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using common::sdk::ScopedTempDir;
using util_testing::ReadFileBytes;
using Names = std::set<std::string>;

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

class ScopedTempDirPosixTest : public ::testing::Test {
  protected:
    util_testing::ScratchDir scratch_;
    fs::path temp_ = scratch_.path() / "temp";
    util_testing::ScopedEnvVar tmpdir_{util_testing::kTempVariable, temp_.string()};
};

struct TreeWithLinks {
    TreeWithLinks(const util_testing::ScratchDir& scratch, const fs::path& root)
        : outside(scratch.path() / "outside") {
        const std::string r = fs::relative(root, scratch.path()).string() + "/";
        for (const char* file : {"a.bin", ".hidden", "sub/b.bin", "sub/deeper/deepest/c.bin",
                                 "not-utf8-\xff\xfe", "locked/file.bin"})
            scratch.WriteFile(r + file, "x");
        scratch.WriteFile("outside/keep.txt", "keep");
        scratch.WriteFile("outside/folder/inner.txt", "inner");
        fs::create_directories(root / "empty");
        fs::create_symlink(outside / "keep.txt", root / "file-link");
        fs::create_symlink(outside / "folder", root / "sub" / "folder-link");
        fs::create_symlink("../../..", root / "sub" / "deeper" / "up-link");
        fs::create_symlink("/nonexistent/target", root / "dangling");
        EXPECT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);
        fs::permissions(root / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    }
    void ExpectOutsideIntact() const {
        EXPECT_EQ(ReadFileBytes(outside / "keep.txt"), "keep");
        EXPECT_EQ(ReadFileBytes(outside / "folder/inner.txt"), "inner");
    }
    fs::path outside;
};

// By Delete, by the destructor, and by Delete after a folder was swapped for a link while the
// tree was being removed: that attempt throws and keeps the path; the next removes the link.
TEST_F(ScopedTempDirPosixTest, RemovesTheWholeTreeButNeverWhatLinksPointTo) {
    for (const std::string way : {"Delete", "destructor", "swapped"}) {
        SCOPED_TRACE(way);
        fs::path held;
        {
            ScopedTempDir dir;
            ASSERT_TRUE(dir.Create());
            held = HeldPath(dir);
            TreeWithLinks tree(scratch_, held);
            if (way == "swapped") {
                util_platform::SetBeforeOpenChildHookForTesting([&](const std::string& name) {
                    if (name != "sub") return;
                    fs::rename(held / "sub", held / "moved");
                    fs::create_symlink(tree.outside, held / "sub");
                });
                EXPECT_THROW(dir.Delete(), NCcl::CErrWin32);
                util_platform::SetBeforeOpenChildHookForTesting(nullptr);
                tree.ExpectOutsideIntact();
                EXPECT_EQ(HeldPath(dir), held);
            }
            if (way != "destructor") dir.Delete();
            EXPECT_EQ(dir.GetPath(nullptr), way == "destructor");
            tree.ExpectOutsideIntact();
        }
        EXPECT_FALSE(fs::exists(fs::symlink_status(held)));
        EXPECT_EQ(Entries(temp_), Names{});
        EXPECT_EQ(Entries(scratch_.path()), (Names{"outside", "temp"}));
        fs::remove_all(scratch_.path() / "outside");
    }
}

}  // namespace
