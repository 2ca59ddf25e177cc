#include "util/logging/logging.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "util/files/file_access.h"
#include "util/logging/log_file.h"
#include "util/logging/timestamp.h"
#include "util/platform/file.h"
#include "util/platform/local_time.h"
#include "util/testing/platform_constants.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using util_platform::InjectedFault;
using util_testing::ReadFileBytes;
using util_testing::Utf16Bytes;

// The clock every test but the one of real threads reads, and its stamp.
const auto kFixedTime = [] { return util_platform::LocalTime{2024, 3, 5, 7, 8, 9, 12}; };
const std::u16string kStamp = u"2024-03-05 07:08:09.012";

const std::string kBom = "\xFF\xFE", kHeader = Utf16Bytes(u"Tessmar.log\r\n");
const auto Stamped = [](std::u16string text) { return u"[" + kStamp + u"] " + text + u"\r\n"; };

// Lifts the simulated failing writes and opens.
void LiftFaults() {
    util_platform::LimitWritesForTesting(-1);
    util_platform::FailOpensForTesting(-1, InjectedFault::kDiskFull);
}

class LoggingTest : public ::testing::Test {
  protected:
    void SetUp() override { util_platform::SetLocalTimeSourceForTesting(kFixedTime); }
    void TearDown() override {
        LiftFaults();
        Logging::Term();
        Logging::DebugLogEnabled(false);
        util_platform::SetLocalTimeSourceForTesting(nullptr);
    }
    std::string LogBytes() const { return ReadFileBytes(dir_.path() / "Tessmar.log"); }
    void Open(bool append = false) {
        Logging::Init(dir_.Wide(), append);
        ASSERT_TRUE(Logging::IsInitialized());
    }
    // Writes `lines` lines "thread T line N" from each of `threads` threads at once, lifts the
    // write faults, then writes "after"; checks that the log holds its header, then whole lines
    // only, each thread's in order and none twice, then "after". Answers how many lines of each
    // thread the log holds.
    std::vector<int> WriteFromThreads(int threads, int lines) {
        std::vector<std::thread> writers;
        for (int t = 0; t < threads; ++t)
            writers.emplace_back([t, lines] {
                for (int i = 0; i < lines; ++i) Logging::WriteV(u"thread %d line %05d", t, i);
            });
        for (auto& writer : writers) writer.join();
        LiftFaults();
        Logging::Write(u"after", false);
        Logging::Term();
        const std::string bytes = LogBytes();
        std::u16string text;  // the log's units, from its bytes
        for (size_t i = 1; i < bytes.size(); i += 2)
            text += static_cast<char16_t>(uint8_t(bytes[i - 1]) | uint8_t(bytes[i]) << 8);
        const std::u16string head = u"\uFEFFTessmar.log\r\n", tail = u"after\r\n";
        EXPECT_EQ(bytes.size() % 2, 0u);
        EXPECT_EQ(text.substr(0, head.size()) + text.substr(text.size() - tail.size()),
                  head + tail);
        // Every line is 47 units long: "[" stamp "] thread " (33), the thread, " line " and the
        // number (5 digits), CR LF.
        std::vector<int> last(threads, -1), count(threads, 0);
        for (size_t pos = head.size(); pos + tail.size() < text.size(); pos += 47) {
            const CString line(std::u16string_view(text).substr(pos, 47));
            int t = line.GetLength() == 47 ? line[33] - u'0' : -1, i = 0;
            for (int k = 40; k < 45 && t >= 0; ++k) i = i * 10 + (line[k] - u'0');
            CString expected;
            expected.Format(u"[%s] thread %d line %05d\r\n", line.Mid(1, 23).GetString(), t, i);
            if (t < 0 || t >= threads || line != expected || i <= last[t] || i >= lines) {
                ADD_FAILURE() << "broken, repeated or out of order: " << line.ToUtf8();
                break;
            }
            last[t] = i;
            ++count[t];
        }
        return count;
    }

    util_testing::ScratchDir dir_, temp_;  // the log's folder, and the temporary folder
    util_testing::ScopedEnvVar tmpdir_{util_testing::kTempVariable, temp_.path().string()};
};

// Every writing operation, on a freshly created log: the exact bytes after the header line.
const std::u16string kStart = u"------------------\r\n[Start Time]" + kStamp + u"\r\n";
const std::tuple<const char*, void (*)(), std::u16string> kWrites[] = {
    {"plain line", [] { Logging::Write(u"abc", false); }, u"abc\r\n"},
    {"stamped line", [] { Logging::Write(u"abc", true); }, Stamped(u"abc")},
    {"null text", [] { Logging::Write(nullptr, true); }, u""},
    {"WriteV", [] { Logging::WriteV(u"%s=%d (%x)", u"n", 42, 255u); }, Stamped(u"n=42 (ff)")},
    {"WriteV of a line longer than the stack buffer",
     [] { Logging::WriteV(u"%s|%0600d", std::u16string(700, u'x').c_str(), 5); },
     Stamped(std::u16string(700, u'x') + u"|" + std::u16string(599, u'0') + u"5")},
    {"Debug while off", [] { Logging::Debug(u"hidden %d", 1); }, u""},
    {"Debug while on",
     [] {
         Logging::DebugLogEnabled(true);
         Logging::Debug(u"on %d", 2);
     },
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
    for (const auto& [name, write, expected] : kWrites) {
        SCOPED_TRACE(name);  // debug logging stays on after the row that turns it on
        Open();
        write();
        Logging::Term();
        EXPECT_EQ(LogBytes(), kBom + kHeader + Utf16Bytes(expected));
    }
}

// A fresh log rotates one generation (an old backup goes even without a log) and starts with
// the byte-order mark; an appended log keeps what was there, rotates nothing and gets no mark.
// Init on an open log closes it first: held open, it would refuse its own re-opening.
TEST_F(LoggingTest, InitRotatesOrAppends) {
    const std::string old = kBom + Utf16Bytes(u"Tessmar.log\r\nold line\r\n");
    const std::string added = kHeader + Utf16Bytes(Stamped(u"new"));
    // log, bak: the files that are there before; bak "": no backup expected afterwards.
    for (const auto& [name, again, append, log, expectedLog, expectedBak] :
         std::vector<std::tuple<const char*, bool, bool, bool, std::string, std::string>>{
             {"fresh, backup only", false, false, false, kBom + added, ""},
             {"fresh, both files", false, false, true, kBom + added, old},
             {"append, no log yet", false, true, false, added, "old backup"},
             {"append, existing log", false, true, true, old + added, "old backup"},
             {"again on the open log, append", true, true, true, old + added + added, "old backup"},
         }) {
        SCOPED_TRACE(name);
        util_testing::ScratchDir dir;
        if (log) dir.WriteFile("Tessmar.log", old);
        dir.WriteFile("Tessmar.bak", "old backup");
        if (again) {
            Logging::Init(dir.Wide(), true);
            Logging::WriteV(u"%s", u"new");
        }
        Logging::Init(dir.Wide(), append);
        ASSERT_TRUE(Logging::IsInitialized());
        Logging::WriteV(u"%s", u"new");
        Logging::Term();
        EXPECT_EQ(ReadFileBytes(dir.path() / "Tessmar.log"), expectedLog);
        EXPECT_EQ(ReadFileBytes(dir.path() / "Tessmar.bak"), expectedBak);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1 + !expectedBak.empty());
    }
}

// A folder that cannot take the log sends it to the temporary folder, where nothing is rotated.
TEST_F(LoggingTest, FallsBackToTheTemporaryFolder) {
    dir_.WriteFile("plain", "a regular file");
    for (const auto& [folder, append, expected] :
         std::vector<std::tuple<const char*, bool, std::string>>{
             {"missing", false, kBom + kHeader},
             {"plain", false, kBom + kHeader},  // a file, not a folder
             {"plain/logs", true, "earlier" + kHeader},
         }) {
        SCOPED_TRACE(folder);
        temp_.WriteFile("Tessmar.log", "earlier");
        Logging::Init(dir_.Wide(folder), append);
        ASSERT_TRUE(Logging::IsInitialized());
        Logging::Term();
        EXPECT_EQ(ReadFileBytes(temp_.path() / "Tessmar.log"), expected);
        EXPECT_TRUE(!fs::exists(temp_.path() / "Tessmar.bak") &&
                    ReadFileBytes(dir_.path() / "plain") == "a regular file");
    }
}

// A log that someone holds open is neither rotated nor truncated by a fresh Init: the holder
// keeps its file (and a second Init of a log it reads), and the new log goes to the
// temporary folder.
TEST_F(LoggingTest, AFreshInitLeavesAHeldLogWhereItIs) {
    CFileAccess files;
    const std::string old = kBom + Utf16Bytes(u"Tessmar.log\r\nheld line\r\n");
    const CString log = dir_.Wide("Tessmar.log");
    for (const auto& [holder, open] : std::vector<std::pair<const char*, FileHandle (*)(CString)>>{
             {"a reading handle", [](CString p) { return CFileAccess().FA_OpenFile(p, FM_Read); }},
             {"a write-only device", [](CString p) { return CFileAccess().FA_OpenDevice(p, 0); }},
         }) {
        SCOPED_TRACE(holder);
        dir_.WriteFile("Tessmar.log", old);
        FileHandle held = open(log);
        ASSERT_TRUE(held);
        Logging::Init(dir_.Wide(), false);
        ASSERT_TRUE(Logging::IsInitialized());
        Logging::Term();
        EXPECT_EQ(LogBytes(), old);
        EXPECT_FALSE(fs::exists(dir_.path() / "Tessmar.bak"));
        EXPECT_EQ(ReadFileBytes(temp_.path() / "Tessmar.log"), kBom + kHeader);
        files.FA_CloseFile(held);
        fs::remove(temp_.path() / "Tessmar.log");
    }
    Open();  // once nobody holds it, the log rotates as usual
    EXPECT_EQ(ReadFileBytes(dir_.path() / "Tessmar.bak"), old);
}

// A write that fails part way (a full disk, a failing device) drops its line whole; the log
// keeps every earlier line, stays open and takes the next line once writes succeed again.
TEST_F(LoggingTest, AFailedWriteDropsOnlyItsLine) {
    const int64_t lineBytes = static_cast<int64_t>(Stamped(u"does not fit").size() * 2);
    for (InjectedFault fault : {InjectedFault::kDiskFull, InjectedFault::kIoError})
        for (int64_t room : {int64_t{0}, int64_t{1}, lineBytes - 1}) {
            SCOPED_TRACE(testing::Message() << "fault " << int(fault) << ", room " << room);
            Open();
            Logging::Write(u"before", false);
            util_platform::FailWritesForTesting(room, fault);
            Logging::WriteV(u"%s", u"does not fit");
            LiftFaults();
            EXPECT_TRUE(Logging::IsInitialized());
            Logging::Write(u"after", false);
            Logging::Term();
            EXPECT_EQ(LogBytes(), kBom + kHeader + Utf16Bytes(u"before\r\nafter\r\n"));
        }
}

// When not even the byte-order mark fits, or no file can be opened at all, neither folder takes
// the log and Init fails; no half-written mark is left behind, and no operation writes anything
// (or crashes) without a log, as before any Init and after Term.
TEST_F(LoggingTest, InitFailsWhenNeitherFolderCanBeWritten) {
    // Room for writes: none, one byte, or -1: no file can be opened for too many open files.
    for (const int room : {0, 1, -1}) {
        SCOPED_TRACE(room);
        if (room < 0) util_platform::FailOpensForTesting(0, InjectedFault::kTooManyOpenFiles);
        util_platform::LimitWritesForTesting(room);
        Logging::Init(dir_.Wide(), false);
        LiftFaults();
        EXPECT_FALSE(Logging::IsInitialized());
        for (const auto& row : kWrites) std::get<1>(row)();
        EXPECT_EQ(fs::exists(dir_.path() / "Tessmar.log"), room >= 0);
        EXPECT_EQ(LogBytes() + ReadFileBytes(temp_.path() / "Tessmar.log"), "");
    }
}

// Many writers on a disk that fills up under their writes (writes of several waiting lines
// together included): the lines that still fit land whole and the rest are dropped whole, no
// half line, no line twice, each thread's lines in order.
TEST_F(LoggingTest, ConcurrentWritersOnAFullDiskKeepOnlyWholeLines) {
    constexpr int kRoomInLines = 300;
    const size_t lineBytes = Utf16Bytes(Stamped(u"thread 0 line 00000")).size();  // every line's
    Open();
    util_platform::LimitWritesForTesting(static_cast<int64_t>(lineBytes) * kRoomInLines + 7);
    int total = 0;
    for (int count : WriteFromThreads(8, 500)) total += count;
    EXPECT_TRUE(total > 0 && total <= kRoomInLines) << total;
}

// Lines from many threads arrive whole: none lost, none interleaved, each thread's in order.
TEST_F(LoggingTest, ConcurrentWritersNeverInterleave) {
    util_platform::SetLocalTimeSourceForTesting(nullptr);  // every thread reads the real clock
    Open();
    EXPECT_EQ(WriteFromThreads(8, 20000), std::vector<int>(8, 20000));
}

// The log file's handle is closed when the object holding it goes (at the latest when the
// program ends).
TEST_F(LoggingTest, LogFileDestructionClosesTheFile) {
    CFileAccess files;
    FileHandle handle = files.FA_OpenFile(dir_.Wide("x.log"), FM_Create);
    ASSERT_TRUE(CLogFile::IsValid(handle));
    {
        CLogFile log;
        log.Replace(handle);
        EXPECT_TRUE(log.WriteLocked(u"ab", 2));
    }
    EXPECT_EQ(files.FA_WriteFile(handle, "x", 1), 0);  // the handle is closed
    EXPECT_EQ(ReadFileBytes(dir_.path() / "x.log"), Utf16Bytes(u"ab"));
}

// The stamp's fields are zero-padded to their width and grow when a value is wider; a negative
// value keeps its sign within the width. (Real clocks give none of these; the stamp of every
// line is in the rows above.)
TEST(TimestampTest, ZeroPaddedFieldsThatGrowWhenTheValueIsWider) {
    const std::pair<util_platform::LocalTime, std::u16string> rows[] = {
        {{7, 1, 2, 3, 4, 5, 6}, u"0007-01-02 03:04:05.006"},
        {{12345, 1, 1, 0, 0, 0, 0}, u"12345-01-01 00:00:00.000"},
        {{2024, 3, 5, 7, 8, 9, 1000}, u"2024-03-05 07:08:09.1000"},
        {{-1, 0, 0, 0, 0, 0, 0}, u"-001-00-00 00:00:00.000"},
        {{2024, 100, 5, -7, 8, 9, 12}, u"2024-100-05 -7:08:09.012"},
    };
    for (const auto& [t, expected] : rows) {
        std::u16string out = u"x";  // appends, never replaces
        util_logging::AppendTimestamp(out, t);
        EXPECT_TRUE(out == u"x" + expected) << t.year;
    }
}

}  // namespace
