#include "util/files/file_access.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "util/platform/file.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"

class CFileAccessTestPeer {
  public:
    static FileHandle Find(const CString& folder, const CString& name, CString& folderOut,
                           CString& pathOut) {
        return CFileAccess().GetWorkingDirectoryandFile(folder, name, FM_Read, folderOut, pathOut);
    }
    static FileHandle Find(const CString& folder, const CString& name, CString& pathOut) {
        return CFileAccess().GetWorkingDirectoryandFile(folder, name, FM_Read, pathOut);
    }
};

namespace {

using util_testing::ReadFileBytes;
using util_testing::ScopedEnvVar;
using util_testing::ScratchDir;

const FileHandle kAllBitsSet = reinterpret_cast<FileHandle>(~uintptr_t{0});

TEST(FileAccessTest, NoHandleStaleHandleAndMadeUpHandleAreRefused) {
    ScratchDir dir;
    dir.WriteFile("f.bin", "content");
    CFileAccess files;
    FileHandle closed = files.FA_OpenFile(dir.Wide("f.bin"), FM_Read);
    ASSERT_EQ(files.FA_CloseFile(closed), 1);
    // A new handle may reuse the closed one's slot; the old value must still be refused.
    FileHandle live = files.FA_OpenFile(dir.Wide("f.bin"), FM_Read);
    ASSERT_NE(live, nullptr);
    ASSERT_NE(live, closed);
    for (FileHandle handle :
         {FileHandle(nullptr), closed, reinterpret_cast<FileHandle>(0x5a5a1), kAllBitsSet}) {
        SCOPED_TRACE(reinterpret_cast<uintptr_t>(handle));
        char buffer[4] = {'x', 'x', 'x', 'x'};
        uint32_t read = 77;
        EXPECT_EQ(files.FA_ReadFile(handle, buffer, 4, &read), 0);
        EXPECT_EQ(std::string(buffer, 4), "xxxx");
        EXPECT_EQ(files.FA_WriteFile(handle, "abc", 3), 0);
        EXPECT_EQ(files.FA_SeekFile(handle, 0), 0);
        EXPECT_EQ(files.FA_CloseFile(handle), 0);
        EXPECT_EQ(files.FA_CloseDevice(handle), 0);
    }
    // The live handle was not disturbed by its stale predecessor.
    char buffer[7];
    uint32_t read = 0;
    EXPECT_EQ(files.FA_ReadFile(live, buffer, 7, &read), 1);
    EXPECT_EQ(std::string(buffer, read), "content");
    EXPECT_EQ(files.FA_CloseDevice(live), 1);
    EXPECT_EQ(ReadFileBytes(dir.path() / "f.bin"), "content");
}

TEST(FileAccessTest, OpenModesOnMissingAndExistingFiles) {
    struct Case {
        const char* name;
        FileMode mode;
        bool exists, opens;
        const char* contentAfterWrite;  // after writing "X" through the handle, if it opens
    };
    const Case cases[] = {
        {"read missing", FM_Read, false, false, nullptr},
        {"read existing", FM_Read, true, true, "hello"},  // a read-only handle cannot write
        {"create missing", FM_Create, false, true, "X"},
        {"create existing truncates", FM_Create, true, true, "X"},
        {"append missing creates", FM_Append, false, true, "X"},
        {"append existing writes at end", FM_Append, true, true, "helloX"},
        {"undefined mode", static_cast<FileMode>(7), true, false, "hello"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        if (c.exists) dir.WriteFile("f.bin", "hello");
        CFileAccess files;
        FileHandle handle = files.FA_OpenFile(dir.Wide("f.bin"), c.mode);
        EXPECT_EQ(handle != nullptr, c.opens);
        EXPECT_NE(handle, kAllBitsSet);
        if (handle) {
            files.FA_WriteFile(handle, "X", 1);
            EXPECT_EQ(files.FA_CloseFile(handle), 1);
        }
        EXPECT_EQ(std::filesystem::exists(dir.path() / "f.bin"), c.exists || c.opens);
        if (c.contentAfterWrite) {
            EXPECT_EQ(ReadFileBytes(dir.path() / "f.bin"), c.contentAfterWrite);
        }
    }
}

TEST(FileAccessTest, ReadSeekAndWriteAtTheEdges) {
    ScratchDir dir;
    dir.WriteFile("f.bin", "0123456789");
    CFileAccess files;
    FileHandle handle = files.FA_OpenFile(dir.Wide("f.bin"), FM_Append);
    ASSERT_NE(handle, nullptr);
    char buffer[16];
    uint32_t read = 99;
    // At the end (where FM_Append put us): success with nothing read.
    EXPECT_EQ(files.FA_ReadFile(handle, buffer, sizeof buffer, &read), 1);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(files.FA_WriteFile(handle, buffer, 0), 1);  // changes nothing
    // A negative position is refused; beyond the end is accepted.
    EXPECT_EQ(files.FA_SeekFile(handle, -1), 0);
    EXPECT_EQ(files.FA_SeekFile(handle, 1000), 1);
    EXPECT_EQ(files.FA_ReadFile(handle, buffer, sizeof buffer, &read), 1);
    EXPECT_EQ(read, 0u);
    // Fewer bytes than asked for near the end; a write in the middle overwrites in place.
    EXPECT_EQ(files.FA_SeekFile(handle, 7), 1);
    EXPECT_EQ(files.FA_ReadFile(handle, buffer, sizeof buffer, &read), 1);
    EXPECT_EQ(std::string(buffer, read), "789");
    EXPECT_EQ(files.FA_SeekFile(handle, 2), 1);
    EXPECT_EQ(files.FA_WriteFile(handle, "ab", 2), 1);
    // A full file system: the write that does not fit reports 0, the part that fitted stays.
    EXPECT_EQ(files.FA_SeekFile(handle, 10), 1);
    util_platform::LimitWritesForTesting(5);
    EXPECT_EQ(files.FA_WriteFile(handle, "abc", 3), 1);
    EXPECT_EQ(files.FA_WriteFile(handle, "defg", 4), 0);
    util_platform::LimitWritesForTesting(-1);
    EXPECT_EQ(files.FA_CloseFile(handle), 1);
    EXPECT_EQ(ReadFileBytes(dir.path() / "f.bin"), "01ab456789abcde");
}

TEST(FileAccessTest, GetFileSize) {
    ScratchDir dir;
    dir.WriteFile("empty.bin", "");
    dir.WriteFile("five.bin", "12345");
    CFileAccess files;
    // Held open for writing by us, which must not stop the measuring.
    FileHandle writer = files.FA_OpenFile(dir.Wide("five.bin"), FM_Append);
    const std::tuple<std::string, int, uint32_t> cases[] = {
        {"missing.bin", 0, 0xCAFEu},  // size untouched
        {"empty.bin", 1, 0},
        {"five.bin", 1, 5},
        {"", 0, 0xCAFEu},  // the folder itself is not a file
    };
    for (const auto& [name, result, expected] : cases) {
        uint32_t size = 0xCAFE;
        EXPECT_EQ(files.FA_GetFileSize(dir.Wide(name), &size), result) << name;
        EXPECT_EQ(size, expected) << name;
    }
    files.FA_CloseFile(writer);
}

// Other openers may read a file held through this class, but not write it; a refused open
// changes nothing, not even by truncation.
TEST(FileAccessTest, ShareModes) {
    enum Opener { kRead, kCreate, kAppend, kDeviceRW, kDeviceWrite };
    const std::tuple<const char*, Opener, Opener, bool> cases[] = {
        {"two readers", kRead, kRead, true},
        {"create while read", kRead, kCreate, false},
        {"append while read", kRead, kAppend, false},
        {"create while created", kCreate, kCreate, false},
        {"read while written", kCreate, kRead, false},  // the reader denies writing
        {"device write while read", kRead, kDeviceWrite, false},
        {"device read-write while read", kRead, kDeviceRW, false},
        {"two shared devices", kDeviceRW, kDeviceRW, true},
        {"reader after shared device", kDeviceRW, kRead, false},
        {"writer while device write", kDeviceWrite, kAppend, false},
    };
    CFileAccess files;
    auto open = [&](Opener opener, const CString& path) {
        return opener >= kDeviceRW ? files.FA_OpenDevice(path, opener == kDeviceRW)
                                   : files.FA_OpenFile(path, static_cast<FileMode>(opener));
    };
    for (const auto& [name, first, second, secondOpens] : cases) {
        SCOPED_TRACE(name);
        ScratchDir dir;
        dir.WriteFile("f.bin", "precious");
        const CString path = dir.Wide("f.bin");
        FileHandle holder = open(first, path);
        ASSERT_NE(holder, nullptr);
        if (first == kCreate) files.FA_WriteFile(holder, "precious", 8);
        FileHandle other = open(second, path);
        EXPECT_EQ(other != nullptr, secondOpens);
        EXPECT_EQ(ReadFileBytes(dir.path() / "f.bin"), "precious");
        if (other) files.FA_CloseFile(other);
        EXPECT_EQ(files.FA_CloseFile(holder), 1);
        FileHandle later = open(second, path);  // once the holder is gone, the open succeeds
        EXPECT_NE(later, nullptr);
        files.FA_CloseFile(later);
    }
}

// The share rule also holds against another process that uses the library.
TEST(FileAccessTest, ShareModesReachOtherProcesses) {
    ScratchDir dir;
    dir.WriteFile("held.bin", "0123456789 held by the test");
    dir.WriteFile("src.bin", "0123456789 a source");
    CFileAccess files;
    FileHandle held = files.FA_OpenFile(dir.Wide("held.bin"), FM_Read);
    ASSERT_NE(held, nullptr);
    const std::string command = std::string(UTIL_TEST_CLI) + " stamp '" +
                                (dir.path() / "src.bin").string() + "' '" +
                                (dir.path() / "held.bin").string() + "' ID >/dev/null 2>&1";
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(dir.path() / "held.bin"), "0123456789 held by the test");
    files.FA_CloseFile(held);
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(dir.path() / "held.bin"), "012345678@JCID=ID\r\n9 a source");
}

TEST(FileAccessTest, IsTempBinFile) {
    const std::pair<const char16_t*, bool> cases[] = {
        {u"x.tmp.bin", true}, {u"x.tmp.bin.old", true}, {u".tmp.bin", true},  {u"x.TMP.BIN", false},
        {u"x.tmp", false},    {u"x.tmpbin", false},     {u"x.tmp.bi", false}, {u"", false},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(CFileAccess::IsTempBinFile(name), expected) << CString(name).ToUtf8();
}

// Candidates: the given folder (joined to the name as it is), the temporary folder (with its
// separator), the system folder (without one). None: all bits set (not 0), outputs untouched.
TEST(FileAccessTest, WorkingDirectoryCandidates) {
    ScratchDir dir, temp;
    ScopedEnvVar tmpdir("TMPDIR", temp.path().string());
    dir.WriteFile("fwa.bin", "joined");
    temp.WriteFile("only-in-temp.bin", "temp");
    std::string system;  // a readable file of the system folder
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib"))
        if (system.empty() && entry.is_regular_file() && !ReadFileBytes(entry.path()).empty())
            system = "/" + entry.path().filename().string();
    ASSERT_FALSE(system.empty());
    const CString nowhere = dir.Wide("nowhere/"), unchanged = u"unchanged";
    const std::tuple<CString, CString, CString, CString> cases[] = {
        {dir.Wide("fw"), u"a.bin", dir.Wide("fw"), dir.Wide("fwa.bin")},
        {nowhere, u"only-in-temp.bin", temp.Wide() + u"/", temp.Wide("only-in-temp.bin")},
        {nowhere, CString::FromUtf8(system), u"/usr/lib", CString::FromUtf8("/usr/lib" + system)},
        {nowhere, u"no-such-file.bin", unchanged, unchanged},
    };
    for (const auto& [folder, name, expectedFolder, expectedPath] : cases) {
        SCOPED_TRACE(name.ToUtf8());
        CString folderOut = unchanged, pathOut = unchanged, pathOnly = unchanged;
        FileHandle handle = CFileAccessTestPeer::Find(folder, name, folderOut, pathOut);
        FileHandle second = CFileAccessTestPeer::Find(folder, name, pathOnly);
        EXPECT_EQ(handle == kAllBitsSet, expectedPath == unchanged);
        EXPECT_NE(handle, nullptr);
        EXPECT_EQ(folderOut, expectedFolder);
        EXPECT_EQ(pathOut, expectedPath);
        EXPECT_EQ(pathOnly, expectedPath);
        CFileAccess().FA_CloseFile(handle);
        CFileAccess().FA_CloseFile(second);
    }
}

TEST(FileAccessTest, TempAndSystemFolders) {
    const std::pair<std::optional<std::string>, std::u16string> cases[] = {
        {std::nullopt, u"/tmp/"},
        {"", u"/tmp/"},
        {"/var/scratch", u"/var/scratch/"},
        {"/var/scratch/", u"/var/scratch/"},
    };
    for (const auto& [value, expected] : cases) {
        ScopedEnvVar tmpdir("TMPDIR", value);
        EXPECT_EQ(util_platform::TempFolder(), expected) << value.value_or("(unset)");
    }
    std::u16string system = util_platform::SystemFolder();
    EXPECT_TRUE(std::filesystem::is_directory(CString(system).ToUtf8()));
    EXPECT_NE(system.back(), u'/');
}

// Handles opened and closed on many threads at once never get mixed up.
TEST(FileAccessTest, HandlesFromManyThreads) {
    ScratchDir dir;
    dir.WriteFile("shared.bin", "shared");
    constexpr int kThreads = 4, kRounds = 200;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    auto own = [](int t) { return "own" + std::to_string(t) + ".bin"; };
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            CFileAccess files;
            const char letter = static_cast<char>('a' + t);
            for (int round = 0; round < kRounds; ++round) {
                FileHandle mine = files.FA_OpenFile(dir.Wide(own(t)), FM_Append);
                FileHandle reader = files.FA_OpenFile(dir.Wide("shared.bin"), FM_Read);
                char buffer[6];
                uint32_t read = 0;
                if (!files.FA_WriteFile(mine, &letter, 1)) ++failures[t];
                if (!files.FA_ReadFile(reader, buffer, 6, &read) || read != 6) ++failures[t];
                if (!files.FA_CloseFile(reader) || !files.FA_CloseFile(mine)) ++failures[t];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(failures[t], 0);
        EXPECT_EQ(ReadFileBytes(dir.path() / own(t)), std::string(kRounds, 'a' + t));
    }
}

}  // namespace
