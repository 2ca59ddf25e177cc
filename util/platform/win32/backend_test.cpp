// Windows-only behaviour of the backend that the portable tests cannot reach: the thread's ANSI
// code page as the system converts it, temporary names by the system's rule, and removal of
// trees holding read-only entries.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "util/files/scoped_temp_dir.h"
#include "util/platform/codepage.h"
#include "util/platform/folder_tree.h"
#include "util/platform/temp_folder.h"
#include "util/testing/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

// Windows-1252, the code page of Wine's and most Western Windows installations. A character the
// code page lacks becomes '?', never a look-alike that reads back as another character.
TEST(Win32CodePageTest, ConvertsThroughTheThreadCodePageWithoutBestFit) {
    if (util_platform::AnsiCodePage() != "CP1252")
        GTEST_SKIP() << "the thread's code page is " << util_platform::AnsiCodePage();
    const struct {
        std::string ansi;
        std::u16string wide;
    } both_ways[] = {
        {"abc", u"abc"},
        {"\xE4\xFC\xDF", u"\u00E4\u00FC\u00DF"},
        {"\x80\x99", u"\u20AC\u2122"},  // the euro and trade mark signs of 1252's 0x80-0x9F
        {"", u""},
    };
    for (const auto& row : both_ways) {
        EXPECT_EQ(util_platform::WideFromAnsi(row.ansi), row.wide) << row.ansi;
        EXPECT_EQ(util_platform::AnsiFromWide(row.wide), row.ansi) << row.ansi;
    }
    const struct {
        std::u16string wide;
        std::string ansi;
    } lossy[] = {
        {u"a\u0101b", "a?b"},      // a with macron: no best-fit "a"
        {u"\u3042", "?"},          // hiragana
        {u"x\U0001F600y", "x?y"},  // one character, one '?'
        {u"\xD800z", "?z"},        // an unpaired surrogate
    };
    for (const auto& row : lossy) EXPECT_EQ(util_platform::AnsiFromWide(row.wide), row.ansi);
}

// The system forms the name without creating anything; the number is written in hexadecimal.
TEST(Win32TempFolderTest, TempFolderAndNamesFollowTheSystem) {
    const std::u16string folder = util_platform::TempFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), u'\\');
    EXPECT_EQ(util_platform::PathKind(folder), util_platform::EntryKind::kFolder);

    util_testing::ScratchDir scratch;
    const std::u16string base = scratch.Wide().GetString();
    const struct {
        uint32_t u;
        std::u16string name;  // compared without regard to case, as Windows names are
    } rows[] = {{1, u"tmp1.tmp"}, {0xABC, u"tmpabc.tmp"}, {0xFFFE, u"tmpfffe.tmp"}};
    for (const auto& row : rows) {
        const std::u16string name = util_platform::TempFileName(base, row.u);
        std::u16string lower = name;
        for (char16_t& unit : lower)
            if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit + 32);
        std::u16string expected = base + u"\\" + row.name;
        for (char16_t& unit : expected)
            if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit + 32);
        EXPECT_EQ(lower, expected);
        EXPECT_FALSE(fs::exists(fs::path(std::wstring(name.begin(), name.end()))));
    }
    // A folder that does not exist gives no name.
    EXPECT_EQ(util_platform::TempFileName(base + u"\\missing", 1), u"");
}

// Read-only files and folders do not stop the removal of a temporary directory.
TEST(Win32FolderTreeTest, ReadOnlyEntriesAreRemovedToo) {
    common::sdk::ScopedTempDir dir;
    ASSERT_TRUE(dir.Create());
    CPath held;
    ASSERT_TRUE(dir.GetPath(&held));
    const fs::path root(std::wstring(held.GetString(), held.GetString() + held.GetLength()));
    fs::create_directories(root / "sub" / "deeper");
    for (const fs::path& file : {root / "ro.txt", root / "sub" / "deeper" / "ro.bin"}) {
        std::ofstream(file, std::ios::binary) << "locked";
        ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    ASSERT_TRUE(::SetFileAttributesW((root / "sub").c_str(), FILE_ATTRIBUTE_READONLY));
    dir.Delete();
    EXPECT_FALSE(dir.GetPath(nullptr));
    EXPECT_FALSE(fs::exists(root));
}

}  // namespace
