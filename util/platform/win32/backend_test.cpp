// Windows-only behaviour of the backend that the portable tests cannot reach: the thread's ANSI
// code page as the system converts it, temporary names by the system's rule, and removal of
// trees holding read-only entries.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>

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
    // ANSI text, wide text, and whether it reads back (false: written as '?', which reads back
    // as itself). ASCII passes unchanged in every row.
    const std::tuple<std::string, std::u16string, bool> rows[] = {
        {"\xE4\xFC\xDF", u"\u00E4\u00FC\u00DF", true},
        {"\x80\x99", u"\u20AC\u2122", true},  // the euro and trade mark signs of 0x80-0x9F
        {"", u"", true},
        {"a?b", u"a\u0101b", false},      // a with macron: no best-fit "a"
        {"x?y", u"x\U0001F600y", false},  // one character, one '?'
        {"?z", u"\xD800z", false},        // an unpaired surrogate
    };
    for (const auto& [ansi, wide, bothWays] : rows) {
        EXPECT_EQ(util_platform::WideFromAnsi(ansi),
                  bothWays ? wide : std::u16string(ansi.begin(), ansi.end()))
            << ansi;
        EXPECT_EQ(util_platform::AnsiFromWide(wide), ansi) << ansi;
    }
}

// The system forms the name without creating anything; the number is written in hexadecimal.
// Names are compared without regard to case, as Windows names are.
TEST(Win32TempFolderTest, TempFolderAndNamesFollowTheSystem) {
    const std::u16string folder = util_platform::TempFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), u'\\');
    EXPECT_EQ(util_platform::PathKind(folder), util_platform::EntryKind::kFolder);

    util_testing::ScratchDir scratch;
    const std::u16string base = scratch.Wide().GetString();
    const std::pair<uint32_t, std::u16string> rows[] = {
        {1, u"tmp1.tmp"}, {0xABC, u"tmpabc.tmp"}, {0xFFFE, u"tmpfffe.tmp"}};
    for (const auto& [unique, expected] : rows) {
        const std::u16string name = util_platform::TempFileName(base, unique);
        EXPECT_EQ(CString(name).MakeLower(), CString(base + u"\\" + expected).MakeLower());
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
