// CFileAccess through real files: handles, open and share modes, the stamped copy with the job
// client ID, and the description block of firmware files.

#include "util/files/file_access.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
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
    static FileHandle Find(const CString& folder, const CString& name, CString& folderOut,
                           CString& pathOut) {
        return CFileAccess().GetWorkingDirectoryandFile(folder, name, FM_Read, folderOut, pathOut);
    }
    static FileHandle Find(const CString& folder, const CString& name, CString& pathOut) {
        return CFileAccess().GetWorkingDirectoryandFile(folder, name, FM_Read, pathOut);
    }
};

namespace {

namespace fs = std::filesystem;
using util_testing::ReadFileBytes;
using util_testing::RunProgram;
using util_testing::ScopedEnvVar;
using util_testing::ScratchDir;

const FileHandle kAllBitsSet = reinterpret_cast<FileHandle>(~uintptr_t{0});

class FileAccessTest : public ::testing::Test {
  protected:
    CString Path(const std::string& name) const { return dir_.Wide(name); }
    std::string Bytes(const std::string& name) const { return ReadFileBytes(dir_.path() / name); }
    void Write(const std::string& name, const std::string& bytes) { dir_.WriteFile(name, bytes); }
    ScratchDir dir_;
    CFileAccess files_;
};

TEST_F(FileAccessTest, NoHandleStaleHandleAndMadeUpHandleAreRefused) {
    Write("f.bin", "content");
    FileHandle closed = files_.FA_OpenFile(Path("f.bin"), FM_Read);
    ASSERT_EQ(files_.FA_CloseFile(closed), 1);
    // A new handle may reuse the closed one's slot; the old value must still be refused.
    FileHandle live = files_.FA_OpenFile(Path("f.bin"), FM_Read);
    ASSERT_NE(live, nullptr);
    ASSERT_NE(live, closed);
    for (FileHandle handle :
         {FileHandle(nullptr), closed, reinterpret_cast<FileHandle>(0x5a5a1), kAllBitsSet}) {
        SCOPED_TRACE(reinterpret_cast<uintptr_t>(handle));
        char buffer[4] = {'x', 'x', 'x', 'x'};
        uint32_t read = 77;
        EXPECT_EQ(files_.FA_ReadFile(handle, buffer, 4, &read), 0);
        EXPECT_EQ(std::string(buffer, 4), "xxxx");
        EXPECT_EQ(files_.FA_WriteFile(handle, "abc", 3), 0);
        EXPECT_EQ(files_.FA_SeekFile(handle, 0), 0);
        EXPECT_EQ(files_.FA_CloseFile(handle), 0);
        EXPECT_EQ(files_.FA_CloseDevice(handle), 0);
    }
    // The live handle was not disturbed by its stale predecessor.
    char buffer[7];
    uint32_t read = 0;
    EXPECT_EQ(files_.FA_ReadFile(live, buffer, 7, &read), 1);
    EXPECT_EQ(std::string(buffer, read), "content");
    EXPECT_EQ(files_.FA_CloseDevice(live), 1);
    EXPECT_EQ(Bytes("f.bin"), "content");
}

TEST_F(FileAccessTest, OpenModesOnMissingAndExistingFiles) {
    // Whether f.bin exists ("hello") and opens; its content after writing "X" through the handle.
    const std::tuple<const char*, FileMode, bool, bool, const char*> cases[] = {
        {"read missing", FM_Read, false, false, nullptr},
        {"read existing", FM_Read, true, true, "hello"},  // a read-only handle cannot write
        {"create missing", FM_Create, false, true, "X"},
        {"create existing truncates", FM_Create, true, true, "X"},
        {"append missing creates", FM_Append, false, true, "X"},
        {"append existing writes at end", FM_Append, true, true, "helloX"},
        {"undefined mode", static_cast<FileMode>(7), true, false, "hello"},
    };
    for (const auto& [what, mode, exists, opens, contentAfterWrite] : cases) {
        SCOPED_TRACE(what);
        fs::remove(dir_.path() / "f.bin");
        if (exists) Write("f.bin", "hello");
        FileHandle handle = files_.FA_OpenFile(Path("f.bin"), mode);
        EXPECT_EQ(handle != nullptr, opens);
        EXPECT_NE(handle, kAllBitsSet);
        if (handle) files_.FA_WriteFile(handle, "X", 1);
        EXPECT_EQ(files_.FA_CloseFile(handle), handle ? 1 : 0);
        EXPECT_EQ(fs::exists(dir_.path() / "f.bin"), exists || opens);
        EXPECT_EQ(Bytes("f.bin"), contentAfterWrite ? contentAfterWrite : "");
    }
}

TEST_F(FileAccessTest, ReadSeekAndWriteAtTheEdges) {
    Write("f.bin", "0123456789");
    FileHandle handle = files_.FA_OpenFile(Path("f.bin"), FM_Append);
    ASSERT_NE(handle, nullptr);
    char buffer[16];
    uint32_t read = 99;
    // At the end (where FM_Append put us): success with nothing read.
    EXPECT_EQ(files_.FA_ReadFile(handle, buffer, sizeof buffer, &read), 1);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(files_.FA_WriteFile(handle, buffer, 0), 1);  // changes nothing
    // A negative position is refused; beyond the end is accepted.
    EXPECT_EQ(files_.FA_SeekFile(handle, -1), 0);
    EXPECT_EQ(files_.FA_SeekFile(handle, 1000), 1);
    EXPECT_EQ(files_.FA_ReadFile(handle, buffer, sizeof buffer, &read), 1);
    EXPECT_EQ(read, 0u);
    // Fewer bytes than asked for near the end; a write in the middle overwrites in place.
    EXPECT_EQ(files_.FA_SeekFile(handle, 7), 1);
    EXPECT_EQ(files_.FA_ReadFile(handle, buffer, sizeof buffer, &read), 1);
    EXPECT_EQ(std::string(buffer, read), "789");
    EXPECT_EQ(files_.FA_SeekFile(handle, 2), 1);
    EXPECT_EQ(files_.FA_WriteFile(handle, "ab", 2), 1);
    // A full file system: the write that does not fit reports 0, the part that fitted stays.
    EXPECT_EQ(files_.FA_SeekFile(handle, 10), 1);
    util_platform::LimitWritesForTesting(5);
    EXPECT_EQ(files_.FA_WriteFile(handle, "abc", 3), 1);
    EXPECT_EQ(files_.FA_WriteFile(handle, "defg", 4), 0);
    util_platform::LimitWritesForTesting(-1);
    EXPECT_EQ(files_.FA_CloseFile(handle), 1);
    EXPECT_EQ(Bytes("f.bin"), "01ab456789abcde");
}

TEST_F(FileAccessTest, GetFileSize) {
    Write("empty.bin", "");
    Write("five.bin", "12345");
    // Held open for writing, which must not stop the measuring.
    FileHandle writer = files_.FA_OpenFile(Path("five.bin"), FM_Append);
    const std::tuple<std::string, int, uint32_t> cases[] = {
        {"missing.bin", 0, 0xCAFEu},  // size untouched
        {"empty.bin", 1, 0},
        {"five.bin", 1, 5},
        {"", 0, 0xCAFEu},  // the folder itself is not a file
    };
    for (const auto& [name, result, expected] : cases) {
        uint32_t size = 0xCAFE;
        EXPECT_EQ(files_.FA_GetFileSize(Path(name), &size), result) << name;
        EXPECT_EQ(size, expected) << name;
    }
    files_.FA_CloseFile(writer);
}

// Other openers may read a file held through this class, but not write it; a refused open
// changes nothing, not even by truncation. Files against files and text streams are in
// file_util_test; here devices, and a writer against a writer.
TEST_F(FileAccessTest, ShareModes) {
    enum Opener { kRead, kCreate, kAppend, kDeviceRW, kDeviceWrite };
    const std::tuple<const char*, Opener, Opener, bool> cases[] = {
        {"create while created", kCreate, kCreate, false},
        {"device write while read", kRead, kDeviceWrite, false},
        {"two shared devices", kDeviceRW, kDeviceRW, true},
        {"reader after shared device", kDeviceRW, kRead, false},
        {"writer while device write", kDeviceWrite, kAppend, false},
    };
    auto open = [&](Opener opener) {
        return opener >= kDeviceRW ? files_.FA_OpenDevice(Path("f.bin"), opener == kDeviceRW)
                                   : files_.FA_OpenFile(Path("f.bin"), FileMode(opener));
    };
    for (const auto& [what, first, second, secondOpens] : cases) {
        SCOPED_TRACE(what);
        Write("f.bin", "precious");
        FileHandle holder = open(first);
        ASSERT_NE(holder, nullptr);
        if (first == kCreate) files_.FA_WriteFile(holder, "precious", 8);
        FileHandle other = open(second);
        EXPECT_EQ(other != nullptr, secondOpens);
        EXPECT_EQ(Bytes("f.bin"), "precious");
        if (other) files_.FA_CloseFile(other);
        EXPECT_EQ(files_.FA_CloseFile(holder), 1);
        FileHandle later = open(second);  // once the holder is gone, the open succeeds
        EXPECT_NE(later, nullptr);
        files_.FA_CloseFile(later);
    }
}

// The share rule also holds against another process that uses the library.
TEST_F(FileAccessTest, ShareModesReachOtherProcesses) {
    Write("held.bin", "0123456789 held by the test");
    Write("src.bin", "0123456789 a source");
    FileHandle held = files_.FA_OpenFile(Path("held.bin"), FM_Read);
    ASSERT_NE(held, nullptr);
    auto stamp = [&] {
        return RunProgram(UTIL_TEST_CLI, {"stamp", "src.bin", "held.bin", "ID"}, {}, "",
                          dir_.path().string())
            .exitCode;
    };
    EXPECT_NE(stamp(), 0);
    EXPECT_EQ(Bytes("held.bin"), "0123456789 held by the test");
    files_.FA_CloseFile(held);
    EXPECT_EQ(stamp(), 0);
    EXPECT_EQ(Bytes("held.bin"), "012345678@JCID=ID\r\n9 a source");
}

// Handles opened and closed on many threads at once never get mixed up.
TEST_F(FileAccessTest, HandlesFromManyThreads) {
    Write("shared.bin", "shared");
    constexpr int kThreads = 4, kRounds = 200;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    auto own = [](int t) { return "own" + std::to_string(t) + ".bin"; };
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            CFileAccess files;
            const char letter = static_cast<char>('a' + t);
            for (int round = 0; round < kRounds; ++round) {
                FileHandle mine = files.FA_OpenFile(Path(own(t)), FM_Append);
                FileHandle reader = files.FA_OpenFile(Path("shared.bin"), FM_Read);
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
        EXPECT_EQ(Bytes(own(t)), std::string(kRounds, 'a' + t));
    }
}

TEST(FileAccessNames, IsTempBinFile) {
    const std::pair<const char16_t*, bool> cases[] = {
        {u"x.tmp.bin", true}, {u"x.tmp.bin.old", true}, {u".tmp.bin", true},  {u"x.TMP.BIN", false},
        {u"x.tmp", false},    {u"x.tmpbin", false},     {u"x.tmp.bi", false}, {u"", false},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(CFileAccess::IsTempBinFile(name), expected) << CString(name).ToUtf8();
}

// Candidates: the given folder (joined to the name as it is), the temporary folder (with its
// separator), the system folder (without one). None: all bits set (not 0), outputs untouched.
TEST_F(FileAccessTest, WorkingDirectoryCandidates) {
    ScratchDir temp;
    ScopedEnvVar tmpdir(util_testing::kTempVariable, temp.path().string());
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
        EXPECT_EQ(handle == kAllBitsSet, expectedPath == unchanged);
        EXPECT_NE(handle, nullptr);
        // The system folder's case is the system's own choice.
        EXPECT_EQ(folderOut.CompareNoCase(expectedFolder), 0) << folderOut.ToUtf8();
        EXPECT_EQ(pathOut.CompareNoCase(expectedPath), 0) << pathOut.ToUtf8();
        EXPECT_EQ(pathOnly.CompareNoCase(expectedPath), 0) << pathOnly.ToUtf8();
        files_.FA_CloseFile(handle);
        files_.FA_CloseFile(second);
    }
    // The folders themselves (where the variable is unset or empty the default is the
    // platform's own, tested with the temporary-folder rules).
    const std::string given = temp.path().u8string();
    const CString withSeparator = temp.Wide() + separator;
    const std::pair<std::optional<std::string>, CString> temps[] = {
        {given, withSeparator}, {given + util_testing::kSeparator, withSeparator}};
    for (const auto& [value, expected] : temps) {
        ScopedEnvVar env(util_testing::kTempVariable, value);
        EXPECT_EQ(util_platform::TempFolder(), expected.View()) << value.value_or("(unset)");
    }
    const std::u16string folder = util_platform::SystemFolder();
    EXPECT_TRUE(fs::is_directory(fs::u8path(CString(folder).ToUtf8())));
    EXPECT_NE(folder.back(), static_cast<char16_t>(util_testing::kSeparator));
}

// Bytes that differ from block to block, so a misplaced or repeated block shows.
std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 0x12345678;
    for (char& byte : bytes) byte = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
    return bytes;
}

std::string Stamped(const std::string& source, const std::string& idBytes) {
    return source.substr(0, 9) + "@JCID=" + idBytes + "\r\n" + source.substr(9);
}

TEST_F(FileAccessTest, StampedCopyHasTheLineAfterNineBytes) {
    const std::string eleven("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A", 11);
    const std::tuple<const char*, std::string, const char16_t*, const char*, std::string> cases[] =
        {
            {"eleven bytes", eleven, u"A1", "C",
             std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08@JCID=A1\r\n\x09\x0A", 21)},
            {"exactly nine bytes", "012345678", u"A1", "C", "012345678@JCID=A1\r\n"},
            {"empty ID", "0123456789", u"", "C", "012345678@JCID=\r\n9"},
            {"UTF-8 ID", "0123456789", u"J\u00F6b", "C", "012345678@JCID=J\303\266b\r\n9"},
            {"Latin-1 ID", "0123456789", u"J\u00F6b", "de_DE.ISO-8859-1",
             "012345678@JCID=J\366b\r\n9"},
            {"one whole block after the head", Pattern(512009), u"X", "C",
             Stamped(Pattern(512009), "X")},
            {"one byte over a block", Pattern(512010), u"X", "C", Stamped(Pattern(512010), "X")},
            {"several blocks", Pattern(1300001), u"JOB-42", "C",
             Stamped(Pattern(1300001), "JOB-42")},
        };
    for (const auto& [what, source, id, lang, expected] : cases) {
        // Where the locale does not choose the code page, the ID is written in the system's
        // (1252 here, as the Latin-1 row expects).
        if (!util_testing::kLocaleChoosesAnsiCodePage && std::string(what) == "UTF-8 ID") continue;
        SCOPED_TRACE(what);
        ScopedEnvVar env("LANG", lang), all("LC_ALL", std::nullopt), type("LC_CTYPE", std::nullopt);
        Write("src.bin", source);
        Write("dst.bin", "old content that must go away entirely");
        EXPECT_EQ(files_.FA_FileAddJobClientID(Path("src.bin"), Path("dst.bin"), id), 1);
        EXPECT_TRUE(Bytes("dst.bin") == expected);
        EXPECT_TRUE(Bytes("src.bin") == source);
    }
}

// Every failure answers 0, never changes the source and leaves no handle open behind it.
// A fault injected into the file layer for the length of one call.
struct Fault {
    enum Where { kNowhere, kWrites, kReads, kOpens } where = kNowhere;
    int64_t after = -1;  // bytes (writes, reads) or opens that still succeed
    util_platform::InjectedFault fault = util_platform::InjectedFault::kDiskFull;
};

class ArmedFault {
  public:
    explicit ArmedFault(const Fault& f) : where_(f.where) { Arm(f.after, f.fault); }
    ~ArmedFault() { Arm(-1, util_platform::InjectedFault::kDiskFull); }

  private:
    void Arm(int64_t after, util_platform::InjectedFault fault) {
        if (where_ == Fault::kWrites) util_platform::FailWritesForTesting(after, fault);
        if (where_ == Fault::kReads) util_platform::FailReadsForTesting(after, fault);
        if (where_ == Fault::kOpens) util_platform::FailOpensForTesting(after, fault);
    }
    Fault::Where where_;
};

TEST(FileAccessStampTest, FailuresLeaveTheSourceAloneAndCloseEverything) {
    using util_platform::InjectedFault;
    const std::string source = "0123456789abcdefghij";
    // Source, destination, a fault, and the destination's content afterwards (nullptr: not a
    // file). new.bin does not exist; dst.bin holds "keep". A failure after the destination was
    // opened leaves it as far as it was written.
    const std::tuple<const char*, std::string, std::string, Fault, const char*> cases[] = {
        {"missing source", "none.bin", "new.bin", {}, nullptr},
        {"source is a folder", "folder", "new.bin", {}, nullptr},
        {"source shorter than the head", "short.bin", "dst.bin", {}, "keep"},
        {"destination folder missing", "src.bin", "no/such/dst.bin", {}, nullptr},
        {"destination is the source", "src.bin", "src.bin", {}, "0123456789abcdefghij"},
        {"destination is a folder", "src.bin", "folder", {}, nullptr},
        {"destination held open for reading", "src.bin", "held.bin", {}, "held"},
        {"full file system", "src.bin", "new.bin", {Fault::kWrites, 12}, "012345678@JC"},
        {"full file system after the line",
         "src.bin",
         "new.bin",
         {Fault::kWrites, 19},
         "012345678@JCID=7\r\n9"},
        {"I/O error writing after the line",
         "src.bin",
         "new.bin",
         {Fault::kWrites, 19, InjectedFault::kIoError},
         "012345678@JCID=7\r\n9"},
        {"I/O error reading the head",
         "src.bin",
         "new.bin",
         {Fault::kReads, 0, InjectedFault::kIoError},
         ""},
        {"I/O error reading part way",
         "src.bin",
         "new.bin",
         {Fault::kReads, 12, InjectedFault::kIoError},
         "012345678@JCID=7\r\n9ab"},
        // Opens: the size query, the source, the destination.
        {"too many open files at the source",
         "src.bin",
         "new.bin",
         {Fault::kOpens, 1, InjectedFault::kTooManyOpenFiles},
         nullptr},
        {"too many open files at the destination",
         "src.bin",
         "dst.bin",
         {Fault::kOpens, 2, InjectedFault::kTooManyOpenFiles},
         "keep"},
    };
    for (const auto& [what, sourceName, destinationName, fault, destinationAfter] : cases) {
        SCOPED_TRACE(what);
        ScratchDir dir;
        dir.WriteFile("src.bin", source);
        dir.WriteFile("held.bin", "held");
        dir.WriteFile("short.bin", "01234567");
        dir.WriteFile("dst.bin", "keep");
        fs::create_directory(dir.path() / "folder");
        CFileAccess files;
        FileHandle held = files.FA_OpenFile(dir.Wide("held.bin"), FM_Read);
        int result, error;
        {
            ArmedFault armed(fault);
            result =
                files.FA_FileAddJobClientID(dir.Wide(sourceName), dir.Wide(destinationName), u"7");
            error = util_platform::LastError();
        }
        files.FA_CloseFile(held);
        EXPECT_EQ(result, 0);
        EXPECT_NE(error, 0);
        EXPECT_EQ(ReadFileBytes(dir.path() / "src.bin"), source);
        EXPECT_EQ(fs::is_regular_file(dir.path() / destinationName), destinationAfter != nullptr);
        EXPECT_EQ(ReadFileBytes(dir.path() / destinationName),
                  destinationAfter ? destinationAfter : "");
        // A handle left open would refuse these writers.
        for (const std::string& name : {sourceName, destinationName}) {
            if (!fs::is_regular_file(dir.path() / name)) continue;
            FileHandle writer = files.FA_OpenFile(dir.Wide(name), FM_Append);
            EXPECT_NE(writer, nullptr) << name;
            files.FA_CloseFile(writer);
        }
    }
}

// A file with `offset` filler bytes, the length field, 4 skipped bytes and then `block`.
std::string Firmware(uint32_t offset, uint32_t length, const std::string& block) {
    std::string bytes(offset, '\x5A');
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(char((length >> shift) & 0xFF));
    return bytes + "\xFF\xFE\xFD\xFC" + block;
}

TEST_F(FileAccessTest, DescriptionBlock) {
    const std::string abc0("abc\0", 4);
    const std::string fw = Firmware(140, 4, abc0);
    // The text expected; "keep": left unchanged.
    const std::tuple<const char*, std::string, uint32_t, MakeDLFileRes, std::u16string> cases[] = {
        {"default offset by 0", fw, 0, MDL_Success, u"abc"},
        {"own offset", Firmware(10, 4, abc0), 10, MDL_Success, u"abc"},
        {"last byte is always the terminator", Firmware(140, 4, "abcd"), 0, MDL_Success, u"abc"},
        {"text ends at the first zero", Firmware(140, 4, {"a\0c\0", 4}), 0, MDL_Success, u"a"},
        {"length one gives empty text", Firmware(140, 1, "z"), 0, MDL_Success, u""},
        {"length bytes are big-endian", Firmware(140, 256, std::string(255, 'x') + "!"), 0,
         MDL_Success, std::u16string(255, u'x')},
        {"bytes after the block ignored", Firmware(140, 4, abc0 + "more"), 0, MDL_Success, u"abc"},
        {"too short for the length field", std::string(147, 'a'), 0, MDL_InvalidData, u"keep"},
        {"length field only", Firmware(140, 0, ""), 0, MDL_InvalidData, u"keep"},
        {"one byte short of the block", Firmware(140, 4, "abc"), 0, MDL_InvalidData, u"keep"},
        {"length 0", Firmware(140, 0, "abcdef"), 0, MDL_InvalidData, u"keep"},
        {"huge length", Firmware(140, 0xFFFFFFFFu, "abc"), 0, MDL_InvalidData, u"keep"},
        {"offset near 4 GiB does not wrap", fw, 0xFFFFFFFCu, MDL_InvalidData, u"keep"},
        {"empty file", "", 0, MDL_InvalidData, u"keep"},
    };
    for (const auto& [what, file, offset, result, text] : cases) {
        Write("fw.bin", file);
        CString got = u"keep";
        EXPECT_EQ(CFileAccess::makeDownloadDescList(Path("fw.bin"), offset, got), result) << what;
        EXPECT_EQ(got.View(), text) << what;
    }
    fs::create_directory(dir_.path() / "folder");
    for (const char* name : {"missing.bin", "folder", ""}) {
        CString got = u"keep";
        EXPECT_EQ(CFileAccess::makeDownloadDescList(Path(name), 0, got), MDL_OpenFailed) << name;
        EXPECT_EQ(got, CString(u"keep"));
    }
    // The text is in the thread's ANSI code page.
    Write("fw.bin", Firmware(140, 5, std::string("K\xF6ln", 4) + '\0'));
    CString text;
    {
        ScopedEnvVar all("LC_ALL", "de_DE.ISO-8859-1");
        EXPECT_EQ(CFileAccess::makeDownloadDescList(Path("fw.bin"), 0, text), MDL_Success);
    }
    EXPECT_EQ(text, CString(u"K\u00F6ln"));
    // Reading denies nothing, so it works on a file that is open for writing.
    FileHandle writer = files_.FA_OpenFile(Path("fw.bin"), FM_Create);
    ASSERT_EQ(files_.FA_WriteFile(writer, fw.data(), uint32_t(fw.size())), 1);
    EXPECT_EQ(CFileAccess::makeDownloadDescList(Path("fw.bin"), 0, text), MDL_Success);
    EXPECT_EQ(text, CString(u"abc"));
    EXPECT_EQ(files_.FA_CloseFile(writer), 1);
}

}  // namespace
