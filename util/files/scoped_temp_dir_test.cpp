#include "util/files/scoped_temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "util/files/scoped_temp_dir_internal.h"
#include "util/platform/folder_tree.h"
#include "util/testing/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using common::sdk::ScopedTempDir;

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        Set(value);
    }
    ~ScopedEnv() { Set(old_); }
    void Set(const std::optional<std::string>& value) {
        if (value)
            ::setenv(name_, value->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string Utf8(const CString& text) {
    return text.ToUtf8();
}

std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

fs::path HeldPath(const ScopedTempDir& dir) {
    CPath path;
    EXPECT_TRUE(dir.GetPath(&path));
    return fs::path(Utf8(path));
}

class ScopedTempDirTest : public ::testing::Test {
  protected:
    util_testing::ScratchDir scratch_;
    fs::path temp_ = scratch_.path() / "temp";
    ScopedEnv tmpdir_{"TMPDIR", temp_.string()};
};

TEST_F(ScopedTempDirTest, HoldsOnePrivateDirectoryFromCreateUntilDelete) {
    ScopedTempDir dir;
    CPath untouched(u"untouched");
    EXPECT_FALSE(dir.GetPath(&untouched));
    EXPECT_EQ(Utf8(untouched), "untouched");
    EXPECT_FALSE(dir.GetPath(nullptr));

    ASSERT_TRUE(dir.Create());
    EXPECT_TRUE(dir.GetPath(nullptr));
    fs::path held = HeldPath(dir);
    EXPECT_EQ(held, temp_ / "tmp1.TMP");
    EXPECT_TRUE(fs::is_directory(held));
    EXPECT_TRUE(fs::is_empty(held));
    EXPECT_EQ(fs::status(held).permissions() & fs::perms::all, fs::perms::owner_all);

    dir.Delete();
    EXPECT_FALSE(dir.GetPath(&untouched));
    EXPECT_EQ(Utf8(untouched), "untouched");
    EXPECT_FALSE(fs::exists(held));
    EXPECT_TRUE(fs::is_directory(temp_));
    dir.Delete();  // nothing held: nothing happens
    EXPECT_FALSE(dir.GetPath(nullptr));
}

TEST_F(ScopedTempDirTest, TakesTheLowestFreeNumberAndLeavesOthersEntriesAlone) {
    struct Case {
        const char* what;
        std::vector<std::string> files, folders, dangling_links;
        const char* expected;
    };
    const Case cases[] = {
        {"empty folder", {}, {}, {}, "tmp1.TMP"},
        {"a file holds 1", {"tmp1.TMP"}, {}, {}, "tmp2.TMP"},
        {"a folder and a dangling link", {}, {"tmp1.TMP"}, {"tmp2.TMP"}, "tmp3.TMP"},
        {"a gap", {"tmp1.TMP", "tmp3.TMP"}, {}, {}, "tmp2.TMP"},
        {"other case and names", {"TMP1.TMP", "tmp1.tmp", "tmp01.TMP"}, {}, {}, "tmp1.TMP"},
        {"hexadecimal",
         {"tmp1.TMP", "tmp2.TMP", "tmp3.TMP", "tmp4.TMP", "tmp5.TMP", "tmp6.TMP", "tmp7.TMP",
          "tmp8.TMP", "tmp9.TMP", "tmpa.TMP"},
         {},
         {},
         "tmpA.TMP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(temp_);
        fs::create_directories(temp_);
        for (const auto& name : c.files) scratch_.WriteFile("temp/" + name, "theirs");
        for (const auto& name : c.folders) fs::create_directory(temp_ / name);
        for (const auto& name : c.dangling_links) fs::create_symlink("/nonexistent", temp_ / name);

        ScopedTempDir dir;
        ASSERT_TRUE(dir.Create());
        EXPECT_EQ(HeldPath(dir), temp_ / c.expected);
        dir.Delete();
        for (const auto& name : c.files)
            EXPECT_EQ(util_testing::ReadFileBytes(temp_ / name), "theirs") << name;
        for (const auto& name : c.folders) EXPECT_TRUE(fs::is_directory(temp_ / name)) << name;
        for (const auto& name : c.dangling_links) EXPECT_TRUE(fs::is_symlink(temp_ / name)) << name;
    }
}

TEST_F(ScopedTempDirTest, CreateAgainRemovesTheFirstDirectoryBeforeMakingTheNext) {
    ScopedTempDir first, second;
    ASSERT_TRUE(first.Create());
    ASSERT_TRUE(second.Create());
    EXPECT_EQ(HeldPath(second), temp_ / "tmp2.TMP");
    scratch_.WriteFile("temp/tmp1.TMP/old.bin", "old");

    ASSERT_TRUE(first.Create());
    // tmp1 was freed before the search began, so it is the lowest free number again.
    EXPECT_EQ(HeldPath(first), temp_ / "tmp1.TMP");
    EXPECT_TRUE(fs::is_empty(temp_ / "tmp1.TMP"));
    EXPECT_EQ(Entries(temp_), (std::set<std::string>{"tmp1.TMP", "tmp2.TMP"}));
}

// Fills the held directory with every kind of entry, including links that lead outside it.
struct TreeWithLinks {
    TreeWithLinks(const util_testing::ScratchDir& scratch, const fs::path& root)
        : outside(scratch.path() / "outside") {
        scratch.WriteFile("outside/keep.txt", "keep");
        scratch.WriteFile("outside/folder/inner.txt", "inner");
        std::string r = fs::relative(root, scratch.path()).string() + "/";
        scratch.WriteFile(r + "a.bin", "a");
        scratch.WriteFile(r + ".hidden", "h");
        scratch.WriteFile(r + "sub/b.bin", "b");
        scratch.WriteFile(r + "sub/deeper/deepest/c.bin", "c");
        scratch.WriteFile(r + std::string("not-utf8-\xff\xfe"), "bytes");
        fs::create_directories(root / "empty");
        fs::create_symlink(outside / "keep.txt", root / "file-link");
        fs::create_symlink(outside / "folder", root / "sub" / "folder-link");
        fs::create_symlink("../../..", root / "sub" / "deeper" / "up-link");
        fs::create_symlink("/nonexistent/target", root / "dangling");
        EXPECT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);
        scratch.WriteFile(r + "locked/file.bin", "locked");
        fs::permissions(root / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    }
    void ExpectOutsideIntact() const {
        EXPECT_EQ(util_testing::ReadFileBytes(outside / "keep.txt"), "keep");
        EXPECT_EQ(util_testing::ReadFileBytes(outside / "folder/inner.txt"), "inner");
    }
    fs::path outside;
};

TEST_F(ScopedTempDirTest, RemovesTheWholeTreeButNeverWhatLinksPointTo) {
    for (bool by_destructor : {false, true}) {
        SCOPED_TRACE(by_destructor ? "destructor" : "Delete");
        fs::path held;
        {
            ScopedTempDir dir;
            ASSERT_TRUE(dir.Create());
            held = HeldPath(dir);
            TreeWithLinks tree(scratch_, held);
            if (!by_destructor) {
                dir.Delete();
                EXPECT_FALSE(dir.GetPath(nullptr));
            }
            tree.ExpectOutsideIntact();
        }
        EXPECT_FALSE(fs::exists(fs::symlink_status(held)));
        EXPECT_EQ(Entries(temp_), std::set<std::string>{});
        EXPECT_EQ(Entries(scratch_.path()), (std::set<std::string>{"outside", "temp"}));
        fs::remove_all(scratch_.path() / "outside");
    }
}

TEST_F(ScopedTempDirTest, AFolderSwappedForALinkDuringRemovalDoesNotLeadOutside) {
    ScopedTempDir dir;
    ASSERT_TRUE(dir.Create());
    fs::path held = HeldPath(dir);
    TreeWithLinks tree(scratch_, held);
    util_platform::SetBeforeOpenChildHookForTesting([&](const std::string& name) {
        if (name != "sub") return;
        fs::rename(held / "sub", held / "moved");
        fs::create_symlink(tree.outside, held / "sub");
    });
    EXPECT_THROW(dir.Delete(), NCcl::CErrWin32);
    util_platform::SetBeforeOpenChildHookForTesting(nullptr);
    tree.ExpectOutsideIntact();
    EXPECT_EQ(HeldPath(dir), held);

    dir.Delete();  // the link is now seen as a link, and removed as one
    EXPECT_FALSE(fs::exists(fs::symlink_status(held)));
    tree.ExpectOutsideIntact();
}

TEST_F(ScopedTempDirTest, AHeldDirectoryReplacedByALinkIsNotFollowed) {
    ScopedTempDir dir;
    ASSERT_TRUE(dir.Create());
    fs::path held = HeldPath(dir);
    scratch_.WriteFile("outside/keep.txt", "keep");
    fs::remove(held);
    fs::create_symlink(scratch_.path() / "outside", held);
    EXPECT_THROW(dir.Delete(), NCcl::CErrWin32);
    EXPECT_EQ(util_testing::ReadFileBytes(scratch_.path() / "outside/keep.txt"), "keep");
    EXPECT_TRUE(dir.GetPath(nullptr));
}

TEST_F(ScopedTempDirTest, TemporaryFolderIsCreatedOrRefused) {
    // The longest folder (with its separator) for which "tmp1.TMP" still fits the path limit.
    const size_t fits = ScopedTempDir::kMaxPath - 1 - std::string("tmp1.TMP").size();
    auto folder_of_length = [&](size_t length) {
        std::string base = scratch_.path().string() + "/";
        return base + std::string(length - base.size() - 1, 'x');
    };
    scratch_.WriteFile("file", "not a folder");
    struct Case {
        const char* what;
        std::string tmpdir;
        bool created;
    };
    const Case cases[] = {
        {"missing with its parents", (scratch_.path() / "a/b/c").string(), true},
        {"trailing separator", (scratch_.path() / "d/").string(), true},
        {"just fits", folder_of_length(fits), true},
        {"one too long for any name", folder_of_length(fits + 1), false},
        {"a file", (scratch_.path() / "file").string(), false},
        {"below a file", (scratch_.path() / "file/sub").string(), false},
        {"longer than the path limit", "/" + std::string(ScopedTempDir::kMaxPath, 'y'), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // An object that already holds a directory: Create removes it whatever follows.
        ScopedTempDir dir;
        ASSERT_TRUE(dir.Create());
        fs::path before = HeldPath(dir);
        ScopedEnv tmpdir("TMPDIR", c.tmpdir);
        if (c.created) {
            ASSERT_TRUE(dir.Create());
            fs::path folder(c.tmpdir);
            EXPECT_EQ(HeldPath(dir), folder / "tmp1.TMP");
            EXPECT_TRUE(fs::is_directory(folder / "tmp1.TMP"));
        } else {
            EXPECT_THROW(dir.Create(), NCcl::CErrFailToCreateTmpFolder);
            EXPECT_FALSE(dir.GetPath(nullptr));
        }
        EXPECT_FALSE(fs::exists(before));
    }
    EXPECT_EQ(util_testing::ReadFileBytes(scratch_.path() / "file"), "not a folder");
}

TEST_F(ScopedTempDirTest, DeleteOfADirectoryRemovedBySomeoneElseThrowsAndKeepsThePath) {
    {
        ScopedTempDir dir;
        ASSERT_TRUE(dir.Create());
        fs::path held = HeldPath(dir);
        fs::remove(held);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                dir.Delete();
                ADD_FAILURE() << "Delete did not throw";
            } catch (const NCcl::CErrWin32& error) {
                EXPECT_EQ(error.GetErrorCode(), 3u);  // path not found
            }
            EXPECT_EQ(HeldPath(dir), held);
        }
        // Create deletes first, and that error is not turned into a creation failure.
        EXPECT_THROW(dir.Create(), NCcl::CErrWin32);
        EXPECT_EQ(HeldPath(dir), held);

        fs::create_directory(held);
        dir.Delete();
        EXPECT_FALSE(dir.GetPath(nullptr));
        EXPECT_FALSE(fs::exists(held));
    }
    // The destructor of an object in that state must swallow the error: one escaping a
    // destructor would end this test program.
    {
        ScopedTempDir dir;
        ASSERT_TRUE(dir.Create());
        fs::remove(HeldPath(dir));
    }
    EXPECT_EQ(Entries(temp_), std::set<std::string>{});
}

TEST(ScopedTempDirRules, ParentFolderKeepsTheRootAndTheTrailingSeparator) {
    struct Case {
        std::u16string path, parent;
    };
    const Case cases[] = {
        {u"/a/b/", u"/a/"}, {u"/a/b", u"/a/"}, {u"/a/", u"/"},    {u"/a", u"/"},
        {u"/", u"/"},       {u"", u""},        {u"a/b/", u"a/"},  {u"a/b", u"a/"},
        {u"a", u""},        {u"a/", u""},      {u"/a//", u"/a/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(common::sdk::temp_dir_internal::ParentFolder(c.path), c.parent)
            << CString(c.path).ToUtf8();
}

}  // namespace
