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

#include "util/files/file_access.h"
#include "util/files/scoped_temp_dir.h"
#include "util/platform/codepage.h"
#include "util/platform/folder_tree.h"
#include "util/platform/temp_folder.h"
#include "util/testing/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

// The wide text as the system's default conversion gives it for the thread's code page.
std::string SystemAnsi(const std::u16string& wide) {
    const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
    const int length = static_cast<int>(wide.size());
    std::string ansi(static_cast<size_t>(::WideCharToMultiByte(CP_THREAD_ACP, 0, units, length,
                                                               nullptr, 0, nullptr, nullptr)),
                     '\0');
    ::WideCharToMultiByte(CP_THREAD_ACP, 0, units, length, ansi.data(),
                          static_cast<int>(ansi.size()), nullptr, nullptr);
    return ansi;
}

// The stamp line of a job client ID, as FA_FileAddJobClientID writes it into the copy.
std::string StampLine(const std::u16string& id) {
    util_testing::ScratchDir dir;
    dir.WriteFile("src.bin", "012345678");
    CFileAccess files;
    if (!files.FA_FileAddJobClientID(dir.Wide("src.bin"), dir.Wide("dst.bin"), id.c_str()))
        return "(failed)";
    const std::string copy = util_testing::ReadFileBytes(dir.path() / "dst.bin");
    return copy.substr(9 + 6, copy.size() - 9 - 6 - 2);  // between "@JCID=" and CR LF
}

// The thread's code page converts as the system does by default, best fit included, in both
// directions; the stamp line of a job client ID is written that way. The locale of the thread
// chooses the code page (CP_THREAD_ACP).
TEST(Win32CodePageTest, ConvertsAsTheSystemDoesForTheThreadsCodePage) {
    struct Row {
        LANGID language;
        const char* page;
        std::u16string wide;
        std::string ansi;
        bool readsBack;
    };
    const Row rows[] = {
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "CP1252", u"\u00E4\u00FC\u00DF",
         "\xE4\xFC\xDF", true},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "CP1252", u"\u20AC\u2122", "\x80\x99", true},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "CP1252", u"", "", true},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "CP1252", u"\u0101", "a", false},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "CP1252", u"\u0141x", "Lx", false},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "CP1252", u"x\U0001F600y", "x??y", false},
        {MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), "CP932", u"\u00E9", "e", false},
        {MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), "CP932", u"\u3042", "\x82\xA0", true},
    };
    const LCID before = ::GetThreadLocale();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.ansi);
        ASSERT_TRUE(::SetThreadLocale(MAKELCID(row.language, SORT_DEFAULT)));
        ASSERT_EQ(util_platform::AnsiCodePage(), row.page);
        EXPECT_EQ(SystemAnsi(row.wide), row.ansi);  // the system agrees with the table
        EXPECT_EQ(util_platform::AnsiFromWide(row.wide), row.ansi);
        EXPECT_EQ(StampLine(row.wide), row.ansi);
        if (row.readsBack) {
            EXPECT_EQ(util_platform::WideFromAnsi(row.ansi), row.wide);
        }
    }
    ::SetThreadLocale(before);
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
