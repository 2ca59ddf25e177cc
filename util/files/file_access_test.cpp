#include "util/files/file_access.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "util/platform/file.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"

class CFileAccessTestPeer {
  public:
    static FileHandle Find(const char16_t* folder, const char16_t* name, FileMode mode,
                           CString& folderOut, CString& pathOut) {
        CFileAccess files;
        return files.GetWorkingDirectoryandFile(folder, name, mode, folderOut, pathOut);
    }
    static FileHandle Find(const char16_t* folder, const char16_t* name, FileMode mode,
                           CString& pathOut) {
        CFileAccess files;
        return files.GetWorkingDirectoryandFile(folder, name, mode, pathOut);
    }
};

namespace {

using util_testing::ReadFileBytes;
using util_testing::ScratchDir;

const FileHandle kAllBitsSet = reinterpret_cast<FileHandle>(~uintptr_t{0});

using ScopedEnv = util_testing::ScopedEnvVar;

TEST(FileAccessTest, NoHandleStaleHandleAndMadeUpHandleAreRefused) {
    ScratchDir dir;
    dir.WriteFile("f.bin", "content");
    CFileAccess files;
    FileHandle closed = files.FA_OpenFile(dir.Wide("f.bin"), FM_Read);
    ASSERT_NE(closed, nullptr);
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
        bool exists;
        bool opens;
        // Content after writing "X" through the handle (only when it opens).
        const char* contentAfterWrite;
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
        if (!handle) {
            EXPECT_EQ(std::filesystem::exists(dir.path() / "f.bin"), c.exists);
            if (c.exists) {
                EXPECT_EQ(ReadFileBytes(dir.path() / "f.bin"), c.contentAfterWrite);
            }
            continue;
        }
        EXPECT_NE(handle, kAllBitsSet);
        files.FA_WriteFile(handle, "X", 1);
        EXPECT_EQ(files.FA_CloseFile(handle), 1);
        EXPECT_EQ(ReadFileBytes(dir.path() / "f.bin"), c.contentAfterWrite);
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
    // A zero-byte write succeeds and changes nothing.
    EXPECT_EQ(files.FA_WriteFile(handle, buffer, 0), 1);
    // A negative position is refused; beyond the end is accepted.
    EXPECT_EQ(files.FA_SeekFile(handle, -1), 0);
    EXPECT_EQ(files.FA_SeekFile(handle, 1000), 1);
    EXPECT_EQ(files.FA_ReadFile(handle, buffer, sizeof buffer, &read), 1);
    EXPECT_EQ(read, 0u);
    // A read returns what is there, fewer bytes than asked for near the end.
    EXPECT_EQ(files.FA_SeekFile(handle, 7), 1);
    EXPECT_EQ(files.FA_ReadFile(handle, buffer, sizeof buffer, &read), 1);
    EXPECT_EQ(std::string(buffer, read), "789");
    // A write in the middle overwrites in place.
    EXPECT_EQ(files.FA_SeekFile(handle, 2), 1);
    EXPECT_EQ(files.FA_WriteFile(handle, "ab", 2), 1);
    EXPECT_EQ(files.FA_CloseFile(handle), 1);
    EXPECT_EQ(ReadFileBytes(dir.path() / "f.bin"), "01ab456789");
}

TEST(FileAccessTest, GetFileSize) {
    ScratchDir dir;
    dir.WriteFile("empty.bin", "");
    dir.WriteFile("five.bin", "12345");
    struct Case {
        std::string name;
        int result;
        uint32_t size;
    };
    const Case cases[] = {
        {"missing.bin", 0, 0xCAFEu},  // size untouched
        {"empty.bin", 1, 0},
        {"five.bin", 1, 5},
        {"", 0, 0xCAFEu},  // the folder itself is not a file
    };
    CFileAccess files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t size = 0xCAFE;
        EXPECT_EQ(files.FA_GetFileSize(dir.Wide(c.name), &size), c.result);
        EXPECT_EQ(size, c.size);
    }
    // A file held open for writing can still be measured.
    FileHandle writer = files.FA_OpenFile(dir.Wide("five.bin"), FM_Append);
    uint32_t size = 0;
    EXPECT_EQ(files.FA_GetFileSize(dir.Wide("five.bin"), &size), 1);
    EXPECT_EQ(size, 5u);
    files.FA_CloseFile(writer);
}

// Other openers may read a file held through this class, but not write it; a refused open
// changes nothing, not even by truncation.
TEST(FileAccessTest, ShareModes) {
    enum Opener { kRead, kCreate, kAppend, kDeviceRW, kDeviceWrite };
    struct Case {
        const char* name;
        Opener first;
        Opener second;
        bool secondOpens;
    };
    const Case cases[] = {
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
    auto open = [&](Opener opener, const CString& path) -> FileHandle {
        switch (opener) {
            case kRead:
                return files.FA_OpenFile(path, FM_Read);
            case kCreate:
                return files.FA_OpenFile(path, FM_Create);
            case kAppend:
                return files.FA_OpenFile(path, FM_Append);
            case kDeviceRW:
                return files.FA_OpenDevice(path, 1);
            case kDeviceWrite:
                return files.FA_OpenDevice(path, 0);
        }
        return nullptr;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        dir.WriteFile("f.bin", "precious");
        const CString path = dir.Wide("f.bin");
        FileHandle first = open(c.first, path);
        ASSERT_NE(first, nullptr);
        if (c.first == kCreate) files.FA_WriteFile(first, "precious", 8);
        FileHandle second = open(c.second, path);
        EXPECT_EQ(second != nullptr, c.secondOpens);
        EXPECT_EQ(ReadFileBytes(dir.path() / "f.bin"), "precious");
        if (second) files.FA_CloseFile(second);
        EXPECT_EQ(files.FA_CloseFile(first), 1);
        // Once the holder is gone, the same open succeeds.
        FileHandle later = open(c.second, path);
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
    int status = std::system(command.c_str());
    EXPECT_NE(status, 0);
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

TEST(FileAccessTest, WorkingDirectoryCandidates) {
    ScratchDir dir;
    ScratchDir temp;
    ScopedEnv tmpdir("TMPDIR", temp.path().string());
    dir.WriteFile("fwa.bin", "joined");
    temp.WriteFile("only-in-temp.bin", "temp");

    // Plain joining: no separator is put between folder and name.
    CString folderOut = u"unchanged", pathOut = u"unchanged";
    FileHandle handle =
        CFileAccessTestPeer::Find(dir.Wide("fw"), u"a.bin", FM_Read, folderOut, pathOut);
    ASSERT_NE(handle, nullptr);
    ASSERT_NE(handle, kAllBitsSet);
    EXPECT_EQ(folderOut, dir.Wide("fw"));
    EXPECT_EQ(pathOut, dir.Wide("fwa.bin"));
    CFileAccess().FA_CloseFile(handle);

    // Second candidate: the temporary folder, whose text ends with a separator.
    handle = CFileAccessTestPeer::Find(dir.Wide("nowhere/"), u"only-in-temp.bin", FM_Read,
                                       folderOut, pathOut);
    ASSERT_NE(handle, kAllBitsSet);
    EXPECT_EQ(folderOut, temp.Wide() + u"/");
    EXPECT_EQ(pathOut, temp.Wide("only-in-temp.bin"));
    CFileAccess().FA_CloseFile(handle);

    // Third candidate: the system folder, without a trailing separator.
    std::string systemFile;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib")) {
        if (entry.is_regular_file() && ReadFileBytes(entry.path()).size() > 0) {
            systemFile = "/" + entry.path().filename().string();
            break;
        }
    }
    if (!systemFile.empty()) {
        CString name = CString::FromUtf8(systemFile);
        handle = CFileAccessTestPeer::Find(dir.Wide("nowhere/"), name, FM_Read, pathOut);
        ASSERT_NE(handle, kAllBitsSet);
        EXPECT_EQ(pathOut, CString(u"/usr/lib") + name);
        CFileAccess().FA_CloseFile(handle);
    }

    // No candidate: all bits set (not 0), outputs untouched.
    folderOut = u"unchanged";
    pathOut = u"unchanged";
    handle = CFileAccessTestPeer::Find(dir.Wide("nowhere/"), u"no-such-file.bin", FM_Read,
                                       folderOut, pathOut);
    EXPECT_EQ(handle, kAllBitsSet);
    EXPECT_EQ(folderOut, CString(u"unchanged"));
    EXPECT_EQ(pathOut, CString(u"unchanged"));
}

TEST(FileAccessTest, TempAndSystemFolders) {
    struct Case {
        std::optional<std::string> tmpdir;
        std::u16string expected;
    };
    const Case cases[] = {
        {std::nullopt, u"/tmp/"},
        {"", u"/tmp/"},
        {"/var/scratch", u"/var/scratch/"},
        {"/var/scratch/", u"/var/scratch/"},
    };
    for (const Case& c : cases) {
        ScopedEnv tmpdir("TMPDIR", c.tmpdir);
        EXPECT_EQ(util_platform::TempFolder(), c.expected) << c.tmpdir.value_or("(unset)");
    }
    std::u16string system = util_platform::SystemFolder();
    EXPECT_TRUE(std::filesystem::is_directory(CString(system).ToUtf8()));
    EXPECT_NE(system.back(), u'/');
}

// A full file system: the write that does not fit fails and reports 0.
TEST(FileAccessTest, ShortWriteOnAFullFileSystem) {
    ScratchDir dir;
    CFileAccess files;
    FileHandle handle = files.FA_OpenFile(dir.Wide("f.bin"), FM_Create);
    ASSERT_NE(handle, nullptr);
    util_platform::LimitWritesForTesting(5);
    EXPECT_EQ(files.FA_WriteFile(handle, "abc", 3), 1);
    EXPECT_EQ(files.FA_WriteFile(handle, "defg", 4), 0);
    util_platform::LimitWritesForTesting(-1);
    EXPECT_EQ(files.FA_CloseFile(handle), 1);
    EXPECT_EQ(ReadFileBytes(dir.path() / "f.bin"), "abcde");
}

// Handles opened and closed on many threads at once never get mixed up.
TEST(FileAccessTest, HandlesFromManyThreads) {
    ScratchDir dir;
    dir.WriteFile("shared.bin", "shared");
    constexpr int kThreads = 4;
    constexpr int kRounds = 200;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&dir, &failures, t] {
            CFileAccess files;
            const CString own = dir.Wide("own" + std::to_string(t) + ".bin");
            const CString shared = dir.Wide("shared.bin");
            for (int round = 0; round < kRounds; ++round) {
                FileHandle mine = files.FA_OpenFile(own, FM_Append);
                FileHandle reader = files.FA_OpenFile(shared, FM_Read);
                char letter = static_cast<char>('a' + t);
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
        EXPECT_EQ(ReadFileBytes(dir.path() / ("own" + std::to_string(t) + ".bin")),
                  std::string(kRounds, static_cast<char>('a' + t)));
    }
}

}  // namespace
