// CFileAccess through real files: handles, open and share modes, the stamped copy with the job
// client ID, and the description block of firmware files.

#include "util/files/file_access.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "util/platform/file.h"
#include "util/testing/platform_constants.h"
#include "util/testing/run_cli.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"

class CFileAccessTestPeer {
  public:
    // Either overload: the folder and the path found, or the path alone.
    template <typename... Out>
    static FileHandle Find(const CString& folder, const CString& name, Out&... out) {
        return CFileAccess().GetWorkingDirectoryandFile(folder, name, FM_Read, out...);
    }
};

namespace {

namespace fs = std::filesystem;
using util_platform::InjectedFault;
using util_testing::ReadFileBytes;

const FileHandle kAllBitsSet = reinterpret_cast<FileHandle>(~uintptr_t{0});

class FileAccessTest : public ::testing::Test {
  protected:
    CString Path(const std::string& name) const { return dir_.Wide(name); }
    std::string Bytes(const std::string& name) const { return ReadFileBytes(dir_.path() / name); }
    void Write(const std::string& name, const std::string& bytes) { dir_.WriteFile(name, bytes); }
    util_testing::ScratchDir dir_;
    CFileAccess files_;
};

// Also no handle, a made-up one, all bits set and (where handles are table entries) a stale
// one: every operation refuses them.
TEST_F(FileAccessTest, ReadSeekWriteAndSizeAtTheEdges) {
    Write("f.bin", "0123456789");
    FileHandle closed = files_.FA_OpenFile(Path("f.bin"), FM_Read);
    ASSERT_EQ(files_.FA_CloseFile(closed), 1);
    // A new handle may reuse the closed one's slot; the old value must still be refused.
    FileHandle handle = files_.FA_OpenFile(Path("f.bin"), FM_Append);
    ASSERT_NE(handle, nullptr);
    std::vector<FileHandle> refused = {nullptr, reinterpret_cast<FileHandle>(0x5a5a1), kAllBitsSet};
    if (util_testing::kHandlesAreTableEntries) {
        ASSERT_NE(handle, closed);
        refused.push_back(closed);
    }
    char buffer[16];
    uint32_t read = 99;
    // At the end (where FM_Append put us): success with nothing read.
    EXPECT_TRUE(files_.FA_ReadFile(handle, buffer, sizeof buffer, &read) == 1 && read == 0);
    for (FileHandle none : refused)
        EXPECT_EQ(files_.FA_ReadFile(none, buffer, 4, &read) + files_.FA_WriteFile(none, "abc", 3) +
                      files_.FA_SeekFile(none, 0) + files_.FA_CloseFile(none) +
                      files_.FA_CloseDevice(none),
                  0)
            << reinterpret_cast<uintptr_t>(none);
    // The live handle, undisturbed by its stale predecessor: a write of nothing changes nothing.
    EXPECT_EQ(files_.FA_WriteFile(handle, buffer, 0), 1);
    // A negative position is refused; beyond the end is accepted.
    EXPECT_TRUE(files_.FA_SeekFile(handle, -1) == 0 && files_.FA_SeekFile(handle, 1000) == 1);
    EXPECT_TRUE(files_.FA_ReadFile(handle, buffer, sizeof buffer, &read) == 1 && read == 0);
    // Fewer bytes than asked for near the end; a write in the middle overwrites in place.
    EXPECT_TRUE(files_.FA_SeekFile(handle, 7) && files_.FA_ReadFile(handle, buffer, 16, &read) &&
                std::string(buffer, read) == "789");
    EXPECT_TRUE(files_.FA_SeekFile(handle, 2) == 1 && files_.FA_WriteFile(handle, "ab", 2) == 1);
    // A full file system: the write that does not fit reports 0, the part that fitted stays.
    EXPECT_EQ(files_.FA_SeekFile(handle, 10), 1);
    util_platform::LimitWritesForTesting(5);
    EXPECT_TRUE(files_.FA_WriteFile(handle, "abc", 3) == 1 &&
                !files_.FA_WriteFile(handle, "defg", 4));
    util_platform::LimitWritesForTesting(-1);
    EXPECT_EQ(files_.FA_CloseDevice(handle), 1);  // closes a file's handle too
    EXPECT_EQ(Bytes("f.bin"), "01ab456789abcde");
    // A read-only handle cannot write; an undefined mode opens nothing. (FM_Create truncates:
    // see the stamped copy; FM_Append creates: see the threads.)
    FileHandle reader = files_.FA_OpenFile(Path("f.bin"), FM_Read);
    EXPECT_TRUE(files_.FA_WriteFile(reader, "X", 1) == 0 && files_.FA_CloseFile(reader) == 1);
    EXPECT_EQ(files_.FA_OpenFile(Path("f.bin"), static_cast<FileMode>(7)), nullptr);
    EXPECT_EQ(Bytes("f.bin"), "01ab456789abcde");
    // The size of a file, not of a folder; a failure leaves the size untouched.
    uint32_t size = 0xCAFE;
    EXPECT_EQ(
        files_.FA_GetFileSize(Path("missing"), &size) + files_.FA_GetFileSize(Path(""), &size), 0);
    EXPECT_EQ(size, 0xCAFEu);
    EXPECT_TRUE(files_.FA_GetFileSize(Path("f.bin"), &size) && size == 15);
}

// The share rules between handles, devices, text streams and the log are in file_util_test.
// The share rule also holds against another process that uses the library.
TEST_F(FileAccessTest, ShareModesReachOtherProcesses) {
    Write("held.bin", "0123456789 held by the test");
    Write("src.bin", "0123456789 a source");
    FileHandle held = files_.FA_OpenFile(Path("held.bin"), FM_Read);
    ASSERT_NE(held, nullptr);
    const util_testing::CliCase stamp = {{"stamp", "src.bin", "held.bin", "ID"}, 1};
    util_testing::ExpectCli(stamp, dir_.path().string());
    EXPECT_EQ(Bytes("held.bin"), "0123456789 held by the test");
    files_.FA_CloseFile(held);
    util_testing::ExpectCli({stamp.args, 0}, dir_.path().string());
    EXPECT_EQ(Bytes("held.bin"), "012345678@JCID=ID\r\n9 a source");
}

// Handles opened and closed on many threads at once never get mixed up.
TEST_F(FileAccessTest, HandlesFromManyThreads) {
    Write("shared.bin", "shared");
    constexpr int kThreads = 4, kRounds = 200;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            CFileAccess files;
            const char letter = static_cast<char>('a' + t);
            for (int round = 0; round < kRounds; ++round) {
                FileHandle mine = files.FA_OpenFile(Path({letter}), FM_Append);
                FileHandle reader = files.FA_OpenFile(Path("shared.bin"), FM_Read);
                char buffer[6];
                uint32_t read = 0;
                failures[t] += !files.FA_WriteFile(mine, &letter, 1) +
                               !files.FA_ReadFile(reader, buffer, 6, &read) + (read != 6) +
                               !files.FA_CloseFile(reader) + !files.FA_CloseFile(mine);
            }
        });
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t)  // no failure, and every letter of the thread's file
        EXPECT_EQ(std::to_string(failures[t]) + "|" + Bytes({char('a' + t)}),
                  "0|" + std::string(kRounds, 'a' + t));
}

TEST(FileAccessNames, IsTempBinFileAnywhereInTheNameInThisCase) {
    std::string answers;  // 1 for a temporary binary file, in the order of the names
    for (const char16_t* name : {u"x.tmp.bin.old", u".tmp.bin", u"x.TMP.BIN", u"x.tmpbin", u""})
        answers += CFileAccess::IsTempBinFile(name) ? '1' : '0';
    EXPECT_EQ(answers, "11000");
}

// Candidates: the given folder (joined to the name as it is), the temporary folder (with its
// separator), the system folder (without one). None: all bits set (not 0), outputs untouched.
TEST_F(FileAccessTest, WorkingDirectoryCandidates) {
    util_testing::ScratchDir temp;
    util_testing::ScopedEnvVar tmpdir(util_testing::kTempVariable, temp.path().string());
    Write("fwa.bin", "joined");
    temp.WriteFile("only-in-temp.bin", "temp");
    const std::string systemFolder = util_testing::kSystemFolder;
    std::string system;  // a readable file of the system folder
    for (const auto& entry : fs::directory_iterator(systemFolder))
        if (system.empty() && entry.is_regular_file() && !ReadFileBytes(entry.path()).empty())
            system = util_testing::kSeparator + entry.path().filename().u8string();
    ASSERT_FALSE(system.empty());
    const CString nowhere = Path("nowhere/"), unchanged = u"unchanged";
    const CString separator(static_cast<char16_t>(util_testing::kSeparator));
    const std::tuple<CString, CString, CString, CString> cases[] = {
        {Path("fw"), u"a.bin", Path("fw"), Path("fwa.bin")},
        {nowhere, u"only-in-temp.bin", temp.Wide() + separator, temp.Wide("only-in-temp.bin")},
        {nowhere, CString::FromUtf8(system), CString::FromUtf8(systemFolder),
         CString::FromUtf8(systemFolder + system)},
        {nowhere, u"no-such-file.bin", unchanged, unchanged},
    };
    for (const auto& [folder, name, expectedFolder, expectedPath] : cases) {
        SCOPED_TRACE(name.ToUtf8());
        CString folderOut = unchanged, pathOut = unchanged, pathOnly = unchanged;
        FileHandle handle = CFileAccessTestPeer::Find(folder, name, folderOut, pathOut);
        FileHandle second = CFileAccessTestPeer::Find(folder, name, pathOnly);
        EXPECT_TRUE(handle != nullptr && (handle == kAllBitsSet) == (expectedPath == unchanged));
        // The system folder's case is the system's own choice: compared lower-cased.
        EXPECT_EQ((folderOut + u"|" + pathOut + u"|" + pathOnly).MakeLower(),
                  (expectedFolder + u"|" + expectedPath + u"|" + expectedPath).MakeLower());
        files_.FA_CloseFile(handle);
        files_.FA_CloseFile(second);
    }
}

// Bytes that differ from block to block, so a misplaced or repeated block shows.
std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 0x12345678;
    for (char& byte : bytes) byte = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
    return bytes;
}

// A fault injected into the file layer for the length of one call: the writes, reads or opens
// that fail after `after` bytes (writes, reads) or opens.
struct Fault {
    void (*arm)(int64_t, InjectedFault) = nullptr;
    int64_t after = -1;
    InjectedFault fault = InjectedFault::kDiskFull;
};
const std::string kNoFile = "(no file)";
std::string Content(const fs::path& path) {
    return fs::is_regular_file(path) ? ReadFileBytes(path) : kNoFile;
}
// The copy of "src" has the ID's line after the first nine bytes. A failure answers 0 with an
// error code. Neither changes the source or leaves a handle open behind it.
TEST(FileAccessStampTest, StampedCopiesAndTheirFailures) {
    // The ID is written in the thread's ANSI code page: Latin-1 where the locale chooses it, the
    // system's 1252 (which agrees on these characters) where it does not.
    util_testing::ScopedEnvVar all("LC_ALL", "de_DE.ISO-8859-1");
    const auto writes = &util_platform::FailWritesForTesting;
    const auto reads = &util_platform::FailReadsForTesting;
    const auto opens = &util_platform::FailOpensForTesting;
    const auto kIo = InjectedFault::kIoError, kEmfile = InjectedFault::kTooManyOpenFiles;
    const std::string src = "0123456789abcdefghij", line = "@JCID=J\366b\r\n";
    const std::string big = Pattern(512010), several = Pattern(1300001);
    const std::string keep = "older and longer content";  // than the shortest copy
    auto stamped = [&](const std::string& source) {
        return source.substr(0, 9) + line + source.substr(9);
    };
    // The source's content (kNoFile: none), the destination, the result and the destination's
    // content afterwards. new does not exist; dst holds `keep`.
    // A failure after the destination was opened leaves it as far as it was written.
    const std::tuple<const char*, std::string, std::string, Fault, int, std::string> cases[] = {
        {"exactly nine bytes", "012345678", "dst", {}, 1, stamped("012345678")},
        {"one byte over a block after the head", big, "dst", {}, 1, stamped(big)},
        {"several blocks", several, "new", {}, 1, stamped(several)},
        {"missing source", kNoFile, "new", {}, 0, kNoFile},
        {"source shorter than the head", "01234567", "dst", {}, 0, keep},
        {"destination folder missing", src, "no/such/dst", {}, 0, kNoFile},
        {"destination is the source", src, "src", {}, 0, src},
        {"full file system", src, "new", {writes, 12}, 0, "012345678@JC"},
        {"full file system after the line", src, "new", {writes, 21}, 0, stamped("0123456789")},
        {"I/O error after the line", src, "new", {writes, 21, kIo}, 0, stamped("0123456789")},
        {"I/O error reading the head", src, "new", {reads, 0, kIo}, 0, ""},
        {"I/O error reading part way", src, "new", {reads, 12, kIo}, 0, stamped("0123456789ab")},
        // Opens: the size query, the source, the destination.
        {"too many open files at the source", src, "new", {opens, 1, kEmfile}, 0, kNoFile},
        {"too many open files at the destination", src, "dst", {opens, 2, kEmfile}, 0, keep},
    };
    for (const auto& [what, source, destination, fault, expected, after] : cases) {
        SCOPED_TRACE(what);
        util_testing::ScratchDir dir;
        if (source != kNoFile) dir.WriteFile("src", source);
        dir.WriteFile("dst", keep);
        CFileAccess files;
        if (fault.arm) fault.arm(fault.after, fault.fault);
        const int result =
            files.FA_FileAddJobClientID(dir.Wide("src"), dir.Wide(destination), u"J\u00F6b");
        const int error = util_platform::LastError();
        if (fault.arm) fault.arm(-1, fault.fault);
        EXPECT_TRUE(result == expected && (expected || error != 0)) << result << ", " << error;
        // Compared as booleans: a mismatch of a megabyte copy would print all of it.
        EXPECT_TRUE(Content(dir.path() / "src") == source);
        EXPECT_TRUE(Content(dir.path() / destination) == after);
        // A handle left open would refuse these writers.
        for (const std::string& name : {std::string("src"), destination})
            EXPECT_TRUE(!fs::is_regular_file(dir.path() / name) ||
                        files.FA_CloseFile(files.FA_OpenFile(dir.Wide(name), FM_Append)) == 1)
                << name;
    }
}

// A file with `offset` filler bytes, the length field, 4 skipped bytes and then `block`.
std::string Firmware(uint32_t offset, uint32_t length, const std::string& block) {
    std::string bytes(offset, '\x5A');
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(char((length >> shift) & 0xFF));
    return bytes + "\xFF\xFE\xFD\xFC" + block;
}

TEST_F(FileAccessTest, DescriptionBlock) {
    // The text is in the thread's ANSI code page (as for the stamped copy above).
    util_testing::ScopedEnvVar all("LC_ALL", "de_DE.ISO-8859-1");
    const std::string abc0("abc\0", 4), fw = Firmware(140, 4, abc0);
    // The text expected; "keep": left unchanged. kNoFile: no file of that name.
    const std::tuple<const char*, std::string, uint32_t, MakeDLFileRes, std::u16string> cases[] = {
        {"default offset by 0, ANSI text", Firmware(140, 5, std::string("K\xF6ln", 4) + '\0'), 0,
         MDL_Success, u"K\u00F6ln"},
        {"text ends at the first zero", Firmware(140, 4, {"a\0c\0", 4}), 0, MDL_Success, u"a"},
        {"length bytes are big-endian", Firmware(140, 256, std::string(255, 'x') + "!"), 0,
         MDL_Success, std::u16string(255, u'x')},
        {"too short for the length field", std::string(147, 'a'), 0, MDL_InvalidData, u"keep"},
        {"one byte short of the block", Firmware(140, 4, "abc"), 0, MDL_InvalidData, u"keep"},
        {"length 0", Firmware(140, 0, "abcdef"), 0, MDL_InvalidData, u"keep"},
        {"huge length", Firmware(140, 0xFFFFFFFFu, "abc"), 0, MDL_InvalidData, u"keep"},
        {"offset near 4 GiB does not wrap", fw, 0xFFFFFFFCu, MDL_InvalidData, u"keep"},
        {"missing file", kNoFile, 0, MDL_OpenFailed, u"keep"},
    };
    for (const auto& [what, file, offset, result, text] : cases) {
        if (file != kNoFile) Write("fw.bin", file);
        CString got = u"keep";
        const CString path = Path(file == kNoFile ? "missing.bin" : "fw.bin");
        const MakeDLFileRes answer = CFileAccess::makeDownloadDescList(path, offset, got);
        EXPECT_EQ(std::make_pair(answer, std::u16string(got.View())), std::make_pair(result, text))
            << what;
    }
}

}  // namespace
