#include "util/logging/logging.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "util/files/file_access.h"
#include "util/logging/log_file.h"
#include "util/platform/file.h"
#include "util/platform/local_time.h"
#include "util/testing/platform_constants.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using util_testing::ReadFileBytes;
using util_testing::ScopedEnvVar;
using util_testing::ScratchDir;

const std::u16string kStamp = u"2024-03-05 07:08:09.012";
util_platform::LocalTime FixedTime() {
    return {2024, 3, 5, 7, 8, 9, 12};
}

// The bytes a log holds for the given text: UTF-16LE code units.
std::string Utf16le(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) bytes += {static_cast<char>(unit & 0xFF), char(unit >> 8)};
    return bytes;
}

const std::string kBom = "\xFF\xFE";
const std::string kHeader = Utf16le(u"Tessmar.log\r\n");
std::u16string Stamped(std::u16string_view text) {
    return u"[" + kStamp + u"] " + std::u16string(text) + u"\r\n";
}

// Lifts the simulated failing writes at the end of a scope, whatever happened in it.
struct WriteLimit {
    WriteLimit(int64_t bytes, util_platform::InjectedFault fault) {
        util_platform::FailWritesForTesting(bytes, fault);
    }
    ~WriteLimit() { util_platform::LimitWritesForTesting(-1); }
};

class LoggingTest : public ::testing::Test {
  protected:
    void SetUp() override { util_platform::SetLocalTimeSourceForTesting(FixedTime); }
    void TearDown() override {
        Logging::Term();
        Logging::DebugLogEnabled(false);
        util_platform::SetLocalTimeSourceForTesting(nullptr);
    }
    std::string LogBytes() const { return ReadFileBytes(dir_.path() / "Tessmar.log"); }
    void Open(bool append = false) {
        Logging::Init(dir_.Wide(), append);
        ASSERT_TRUE(Logging::IsInitialized());
    }

    ScratchDir dir_;
};

// Every writing operation, on a freshly created log: the exact bytes after the header line.
const std::u16string kStart = u"------------------\r\n[Start Time]" + kStamp + u"\r\n";
const struct {
    const char* name;
    std::function<void()> write;
    std::u16string expected;
} kWrites[] = {
    {"plain line", [] { Logging::Write(u"abc", false); }, u"abc\r\n"},
    {"stamped line", [] { Logging::Write(u"abc", true); }, Stamped(u"abc")},
    {"null text", [] { Logging::Write(nullptr, true); }, u""},
    {"empty plain", [] { Logging::Write(u"", false); }, u"\r\n"},
    {"own line ends kept", [] { Logging::Write(u"a\r\nb\n", false); }, u"a\r\nb\n\r\n"},
    {"non-ASCII units", [] { Logging::Write(u"\u00FC\U0001F600", false); },
     u"\u00FC\U0001F600\r\n"},
    {"WriteV", [] { Logging::WriteV(u"%s=%d (%x)", u"n", 42, 255u); }, Stamped(u"n=42 (ff)")},
    {"Debug while off", [] { Logging::Debug(u"hidden %d", 1); }, u""},
    {"Debug while on", [] { Logging::DebugLogEnabled(true), Logging::Debug(u"on %d", 2); },
     Stamped(u"on 2")},
    {"start block, all parts", [] { Logging::StartDownload(u"TM", u"COM3", u"txt", u"lab"); },
     kStart + u"[Device Type]:TM\r\n[Port Name]:COM3\r\n----\r\ntxt\r\nsysName = 'lab'\r\n"},
    {"start block, no parts", [] { Logging::StartDownload(nullptr, nullptr, nullptr, nullptr); },
     kStart},
    {"start block, empty parts", [] { Logging::StartDownload(u"", nullptr, u"", u""); },
     kStart + u"[Device Type]:\r\n----\r\n\r\nsysName = ''\r\n"},
    {"end block", [] { Logging::EndDownload(); },
     u"----\r\n[Finish Time]" + kStamp + u"\r\n------------------\r\n\r\n"},
};

TEST_F(LoggingTest, WritesExactBytes) {
    for (const auto& c : kWrites) {
        SCOPED_TRACE(c.name);
        Logging::DebugLogEnabled(false);
        Open();
        c.write();
        Logging::Term();
        EXPECT_EQ(LogBytes(), kBom + kHeader + Utf16le(c.expected));
    }
}

TEST_F(LoggingTest, NothingIsWrittenOutsideTheInitialisedState) {
    auto writeEverything = [] {
        for (const auto& c : kWrites) c.write();  // Debug too: one row switches it on
        Logging::Term();
    };
    writeEverything();  // before any Init: nothing to write to, and no crash
    EXPECT_FALSE(fs::exists(dir_.path() / "Tessmar.log"));

    Open();
    Logging::Term();
    EXPECT_FALSE(Logging::IsInitialized());
    writeEverything();  // after Term
    EXPECT_EQ(LogBytes(), kBom + kHeader);

    // A failed Init (neither folder can take the log) leaves the state closed too.
    dir_.WriteFile("plain", "not a folder");
    ScopedEnvVar temp(util_testing::kTempVariable, (dir_.path() / "plain" / "tmp").string());
    Logging::Init(dir_.Wide("plain/logs"), false);
    EXPECT_FALSE(Logging::IsInitialized());
    writeEverything();
    EXPECT_EQ(LogBytes(), kBom + kHeader);
}

// A fresh log rotates one generation and starts with the byte-order mark; an appended log keeps
// what was there, rotates nothing and gets no mark.
TEST_F(LoggingTest, InitRotatesOrAppends) {
    const std::string old = kBom + Utf16le(u"Tessmar.log\r\nold line\r\n");
    const std::string added = kHeader + Utf16le(Stamped(u"new"));
    // log, bak: the files that are there before; bak "": no backup expected afterwards.
    for (const auto& [name, append, log, bak, suffix, expectedLog, expectedBak] : std::vector<
             std::tuple<const char*, bool, bool, bool, const char16_t*, std::string, std::string>>{
             {"fresh, neither file", false, false, false, u"", kBom + added, ""},
             {"fresh, log only", false, true, false, u"", kBom + added, old},
             {"fresh, backup only", false, false, true, u"", kBom + added, ""},
             {"fresh, both files", false, true, true, u"", kBom + added, old},
             {"fresh, trailing separator", false, true, true, u"/", kBom + added, old},
             {"append, no log yet", true, false, true, u"", added, "old backup"},
             {"append, existing log", true, true, true, u"", old + added, "old backup"},
         }) {
        SCOPED_TRACE(name);
        ScratchDir dir;
        if (log) dir.WriteFile("Tessmar.log", old);
        if (bak) dir.WriteFile("Tessmar.bak", "old backup");
        Logging::Init(dir.Wide() + suffix, append);
        ASSERT_TRUE(Logging::IsInitialized());
        Logging::WriteV(u"%s", u"new");
        Logging::Term();
        EXPECT_EQ(ReadFileBytes(dir.path() / "Tessmar.log"), expectedLog);
        EXPECT_EQ(ReadFileBytes(dir.path() / "Tessmar.bak"), expectedBak);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()),
                  expectedBak.empty() ? 1 : 2);
    }
}

// A folder that cannot take the log sends it to the temporary folder, where nothing is rotated.
TEST_F(LoggingTest, FallsBackToTheTemporaryFolder) {
    dir_.WriteFile("plain", "a regular file");
    for (const auto& [name, folder, append, expected] :
         std::vector<std::tuple<const char*, const char*, bool, std::string>>{
             {"missing folder", "missing", false, kBom + kHeader},
             {"folder is a file", "plain", false, kBom + kHeader},
             {"parent is a file, append", "plain/logs", true, "earlier" + kHeader},
         }) {
        SCOPED_TRACE(name);
        ScratchDir temp;
        temp.WriteFile("Tessmar.log", "earlier");
        {
            ScopedEnvVar tmpdir(util_testing::kTempVariable, temp.path().string());
            Logging::Init(dir_.Wide(folder), append);
        }
        ASSERT_TRUE(Logging::IsInitialized());
        Logging::Term();
        EXPECT_EQ(ReadFileBytes(temp.path() / "Tessmar.log"), expected);
        EXPECT_FALSE(fs::exists(temp.path() / "Tessmar.bak"));
        EXPECT_EQ(ReadFileBytes(dir_.path() / "plain"), "a regular file");
    }
}

// Init on an open log closes it and opens again, in the same folder or another one.
TEST_F(LoggingTest, InitAgainWithoutTerm) {
    for (const auto& [name, sameFolder, append, expectedFirst, expectedSecond] :
         std::vector<std::tuple<const char*, bool, bool, std::string, std::string>>{
             {"same folder, append", true, true,
              kBom + kHeader + Utf16le(u"first\r\nTessmar.log\r\nsecond\r\n"), ""},
             {"same folder, fresh", true, false, kBom + kHeader + Utf16le(u"second\r\n"), ""},
             {"other folder, append", false, true, kBom + kHeader + Utf16le(u"first\r\n"),
              kHeader + Utf16le(u"second\r\n")},
         }) {
        SCOPED_TRACE(name);
        ScratchDir first, second;
        Logging::Init(first.Wide(), false);
        Logging::Write(u"first", false);
        Logging::Init(sameFolder ? first.Wide() : second.Wide(), append);
        ASSERT_TRUE(Logging::IsInitialized());
        Logging::Write(u"second", false);
        Logging::Term();
        EXPECT_EQ(ReadFileBytes(first.path() / "Tessmar.log"), expectedFirst);
        EXPECT_EQ(ReadFileBytes(second.path() / "Tessmar.log"), expectedSecond);
    }
}

// A write that fails part way (a full disk, a failing device) drops its line whole; the log
// keeps every earlier line, stays open and takes the next line once writes succeed again.
TEST_F(LoggingTest, AFailedWriteDropsOnlyItsLine) {
    using util_platform::InjectedFault;
    const int64_t lineBytes = static_cast<int64_t>(Stamped(u"does not fit").size() * 2);
    for (InjectedFault fault : {InjectedFault::kDiskFull, InjectedFault::kIoError}) {
        for (int64_t room : {int64_t{0}, int64_t{1}, lineBytes - 1}) {
            SCOPED_TRACE(testing::Message() << "fault " << int(fault) << ", room " << room);
            Open();
            Logging::Write(u"before", false);
            {
                WriteLimit limit(room, fault);
                Logging::WriteV(u"%s", u"does not fit");
                EXPECT_TRUE(Logging::IsInitialized());
            }
            Logging::Write(u"after", false);
            Logging::Term();
            EXPECT_EQ(LogBytes(), kBom + kHeader + Utf16le(u"before\r\nafter\r\n"));
        }
    }
}

// When not even the byte-order mark fits, or no file can be opened at all, neither folder takes
// the log and Init fails; no half-written mark is left behind.
TEST_F(LoggingTest, InitFailsWhenNeitherFolderCanBeWritten) {
    ScratchDir temp;
    const std::tuple<const char*, std::function<void()>, bool> cases[] = {
        {"no room", [] { util_platform::LimitWritesForTesting(0); }, true},
        {"room for one byte", [] { util_platform::LimitWritesForTesting(1); }, true},
        {"too many open files",
         [] {
             util_platform::FailOpensForTesting(0, util_platform::InjectedFault::kTooManyOpenFiles);
         },
         false},
    };
    for (const auto& [name, arm, created] : cases) {
        SCOPED_TRACE(name);
        {
            ScopedEnvVar tmpdir(util_testing::kTempVariable, temp.path().string());
            arm();
            Logging::Init(dir_.Wide(), false);
            util_platform::LimitWritesForTesting(-1);
            util_platform::FailOpensForTesting(-1, util_platform::InjectedFault::kDiskFull);
        }
        EXPECT_FALSE(Logging::IsInitialized());
        Logging::Write(u"dropped", false);
        EXPECT_EQ(fs::exists(dir_.path() / "Tessmar.log"), created);
        EXPECT_EQ(LogBytes(), "");
        EXPECT_EQ(ReadFileBytes(temp.path() / "Tessmar.log"), "");
    }
}

// Writers that wait while another writes have their lines written together with the writer's.
// When the disk fills up under such a shared write, the lines that still fit land whole and the
// rest are dropped whole: no half line, no line twice, each thread's lines in order.
TEST_F(LoggingTest, ConcurrentWritersOnAFullDiskKeepOnlyWholeLines) {
    constexpr int kThreads = 8, kLines = 500, kRoomInLines = 300;
    const std::string lineBytes = Utf16le(Stamped(u"thread 0 line 0000"));  // every line's size
    Open();
    {
        WriteLimit limit(static_cast<int64_t>(lineBytes.size()) * kRoomInLines + 7,
                         util_platform::InjectedFault::kDiskFull);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([t] {
                for (int i = 0; i < kLines; ++i) Logging::WriteV(u"thread %d line %04d", t, i);
            });
        for (auto& thread : threads) thread.join();
    }
    Logging::Write(u"after", false);
    Logging::Term();

    const std::string bytes = LogBytes();
    const std::string head = kBom + kHeader, tail = Utf16le(u"after\r\n");
    ASSERT_GE(bytes.size(), head.size() + tail.size());
    ASSERT_EQ(bytes.compare(0, head.size(), head), 0);
    ASSERT_EQ(bytes.compare(bytes.size() - tail.size(), tail.size(), tail), 0);
    const std::string lines = bytes.substr(head.size(), bytes.size() - head.size() - tail.size());
    ASSERT_EQ(lines.size() % lineBytes.size(), 0u);
    const size_t count = lines.size() / lineBytes.size();
    EXPECT_GT(count, 0u);
    EXPECT_LE(count, size_t{kRoomInLines});
    std::vector<int> last(kThreads, -1);
    for (size_t k = 0; k < count; ++k) {
        const std::string line = lines.substr(k * lineBytes.size(), lineBytes.size());
        int t = -1, i = -1;
        for (int candidate = 0; candidate < kThreads && t < 0; ++candidate) {
            const std::string prefix = Utf16le(u"[" + kStamp + u"] thread ") +
                                       Utf16le(std::u16string(1, char16_t(u'0' + candidate)));
            if (line.compare(0, prefix.size(), prefix) == 0) t = candidate;
        }
        ASSERT_GE(t, 0) << "line " << k << " is not one of ours";
        for (int candidate = last[t] + 1; candidate < kLines && i < 0; ++candidate) {
            CString text;
            text.Format(u"thread %d line %04d", t, candidate);
            if (line == Utf16le(Stamped(text.View()))) i = candidate;
        }
        ASSERT_GE(i, 0) << "line " << k << " is broken, repeated or out of order";
        last[t] = i;
    }
}

TEST(LogFileTest, DestructionClosesTheFile) {
    ScratchDir dir;
    CFileAccess files;
    FileHandle handle = files.FA_OpenFile(dir.Wide("x.log"), FM_Create);
    ASSERT_TRUE(CLogFile::IsValid(handle));
    {
        CLogFile log;
        log.Replace(handle);
        EXPECT_TRUE(log.WriteLocked(u"ab", 2));
    }
    EXPECT_EQ(files.FA_WriteFile(handle, "x", 1), 0);  // the handle is closed
    EXPECT_EQ(ReadFileBytes(dir.path() / "x.log"), Utf16le(u"ab"));
}

// Lines from many threads arrive whole: none lost, none interleaved, each thread's in order.
TEST_F(LoggingTest, ConcurrentWritersNeverInterleave) {
    constexpr int kThreads = 8, kLines = 20000;
    util_platform::SetLocalTimeSourceForTesting(nullptr);  // every thread reads the real clock
    Open();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) Logging::WriteV(u"thread %d line %05d end", t, i);
        });
    for (auto& thread : threads) thread.join();
    Logging::Term();

    const std::string bytes = LogBytes();
    ASSERT_EQ(bytes.size() % 2, 0u);
    ASSERT_EQ(bytes.compare(0, 2 + kHeader.size(), kBom + kHeader), 0);
    std::u16string text;
    for (size_t i = 2 + kHeader.size(); i < bytes.size(); i += 2)
        text += static_cast<char16_t>(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
    std::vector<int> next(kThreads, 0);
    size_t pos = 0;
    for (size_t end; (end = text.find(u"\r\n", pos)) != std::u16string::npos; pos = end + 2) {
        const CString line(std::u16string_view(text).substr(pos, end - pos));
        const int t = line.GetAt(33) - u'0';  // the digit after "[" TS "] thread "
        ASSERT_TRUE(t >= 0 && t < kThreads) << line.ToUtf8();
        CString expected;
        expected.Format(u"[%s] thread %d line %05d end", line.Mid(1, 23), t, next[t]++);
        ASSERT_EQ(line, expected);
    }
    EXPECT_EQ(pos, text.size());
    EXPECT_EQ(next, std::vector<int>(kThreads, kLines));
}

}  // namespace
