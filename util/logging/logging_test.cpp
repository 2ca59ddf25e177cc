#include "util/logging/logging.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "util/files/file_access.h"
#include "util/logging/log_file.h"
#include "util/platform/file.h"
#include "util/platform/local_time.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using util_testing::ReadFileBytes;
using util_testing::ScratchDir;

constexpr char16_t kStamp[] = u"2024-03-05 07:08:09.012";
util_platform::LocalTime FixedTime() {
    return {2024, 3, 5, 7, 8, 9, 12};
}

// The bytes a log holds for the given text: UTF-16LE code units.
std::string Utf16le(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

const std::string kBom = "\xFF\xFE";
const std::string kHeader = Utf16le(u"Tessmar.log\r\n");

std::u16string Stamped(std::u16string_view text) {
    return u"[" + std::u16string(kStamp) + u"] " + std::u16string(text) + u"\r\n";
}

class LoggingTest : public ::testing::Test {
  protected:
    void SetUp() override { util_platform::SetLocalTimeSourceForTesting(FixedTime); }
    void TearDown() override {
        Logging::Term();
        Logging::DebugLogEnabled(false);
        util_platform::SetLocalTimeSourceForTesting(nullptr);
    }
    std::string LogBytes() const { return ReadFileBytes(dir_.path() / "Tessmar.log"); }

    ScratchDir dir_;
};

// Every writing operation, on a freshly created log: the exact bytes after the header line.
TEST_F(LoggingTest, WritesExactBytes) {
    const struct {
        const char* name;
        std::function<void()> write;
        std::u16string expected;
    } cases[] = {
        {"plain line", [] { Logging::Write(u"abc", false); }, u"abc\r\n"},
        {"stamped line", [] { Logging::Write(u"abc", true); }, Stamped(u"abc")},
        {"null text", [] { Logging::Write(nullptr, true); }, u""},
        {"empty plain", [] { Logging::Write(u"", false); }, u"\r\n"},
        {"empty stamped", [] { Logging::Write(u"", true); }, Stamped(u"")},
        {"own line ends kept", [] { Logging::Write(u"a\r\nb\n", false); }, u"a\r\nb\n\r\n"},
        {"non-ASCII units", [] { Logging::Write(u"Gr\u00FC\u00DFe \U0001F600", false); },
         u"Gr\u00FC\u00DFe \U0001F600\r\n"},
        {"WriteV", [] { Logging::WriteV(u"%s=%d (%x)", u"n", 42, 255u); }, Stamped(u"n=42 (ff)")},
        {"WriteV null string", [] { Logging::WriteV(u"[%s]", static_cast<char16_t*>(nullptr)); },
         Stamped(u"[(null)]")},
        {"Debug while off", [] { Logging::Debug(u"hidden %d", 1); }, u""},
        {"Debug while on",
         [] {
             Logging::DebugLogEnabled(true);
             Logging::Debug(u"shown %d", 2);
         },
         Stamped(u"shown 2")},
        {"start block, all parts",
         [] { Logging::StartDownload(u"TM-4200", u"COM3", u"free text", u"lab-7"); },
         u"------------------\r\n[Start Time]" + std::u16string(kStamp) +
             u"\r\n[Device Type]:TM-4200\r\n[Port Name]:COM3\r\n----\r\nfree text\r\n"
             u"sysName = 'lab-7'\r\n"},
        {"start block, no parts",
         [] { Logging::StartDownload(nullptr, nullptr, nullptr, nullptr); },
         u"------------------\r\n[Start Time]" + std::u16string(kStamp) + u"\r\n"},
        {"start block, empty parts", [] { Logging::StartDownload(u"", nullptr, u"", u""); },
         u"------------------\r\n[Start Time]" + std::u16string(kStamp) +
             u"\r\n[Device Type]:\r\n----\r\n\r\nsysName = ''\r\n"},
        {"end block", [] { Logging::EndDownload(); },
         u"----\r\n[Finish Time]" + std::u16string(kStamp) + u"\r\n------------------\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Logging::DebugLogEnabled(false);
        Logging::Init(dir_.Wide(), false);
        ASSERT_TRUE(Logging::IsInitialized());
        c.write();
        Logging::Term();
        EXPECT_EQ(LogBytes(), kBom + kHeader + Utf16le(c.expected));
    }
}

TEST_F(LoggingTest, NothingIsWrittenOutsideTheInitialisedState) {
    auto writeEverything = [] {
        Logging::DebugLogEnabled(true);
        Logging::Write(u"x", true);
        Logging::Write(u"x", false);
        Logging::WriteV(u"%d", 1);
        Logging::Debug(u"%d", 2);
        Logging::StartDownload(u"a", u"b", u"c", u"d");
        Logging::EndDownload();
        Logging::Term();
    };
    writeEverything();  // before any Init: nothing to write to, and no crash
    EXPECT_FALSE(fs::exists(dir_.path() / "Tessmar.log"));

    Logging::Init(dir_.Wide(), false);
    ASSERT_TRUE(Logging::IsInitialized());
    Logging::Term();
    EXPECT_FALSE(Logging::IsInitialized());
    writeEverything();  // after Term
    EXPECT_EQ(LogBytes(), kBom + kHeader);

    // A failed Init (neither folder can take the log) leaves the state closed too.
    dir_.WriteFile("plain", "not a folder");
    util_testing::ScopedEnvVar temp("TMPDIR", (dir_.path() / "plain" / "tmp").string());
    Logging::Init(dir_.Wide("plain/logs"), false);
    EXPECT_FALSE(Logging::IsInitialized());
    writeEverything();
    EXPECT_EQ(LogBytes(), kBom + kHeader);
}

TEST_F(LoggingTest, AppendAddsTheHeaderWithoutByteOrderMark) {
    const std::string old = kBom + Utf16le(u"Tessmar.log\r\nold line\r\n");
    const struct {
        const char* name;
        bool existing;
        std::string expected;
    } cases[] = {
        {"no log yet", false, kHeader + Utf16le(Stamped(u"new"))},
        {"existing log", true, old + kHeader + Utf16le(Stamped(u"new"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        if (c.existing) dir.WriteFile("Tessmar.log", old);
        dir.WriteFile("Tessmar.bak", "backup");
        Logging::Init(dir.Wide(), true);
        ASSERT_TRUE(Logging::IsInitialized());
        Logging::WriteV(u"%s", u"new");
        Logging::Term();
        EXPECT_EQ(ReadFileBytes(dir.path() / "Tessmar.log"), c.expected);
        EXPECT_EQ(ReadFileBytes(dir.path() / "Tessmar.bak"), "backup");
    }
}

TEST_F(LoggingTest, FreshLogRotatesOneGeneration) {
    const struct {
        const char* name;
        bool log, bak, trailingSeparator;
        std::optional<std::string> expectedBak;
    } cases[] = {
        {"neither file", false, false, false, std::nullopt},
        {"log only", true, false, false, "old log"},
        {"backup only", false, true, false, std::nullopt},
        {"both files", true, true, false, "old log"},
        {"both files, trailing separator", true, true, true, "old log"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        if (c.log) dir.WriteFile("Tessmar.log", "old log");
        if (c.bak) dir.WriteFile("Tessmar.bak", "old backup");
        CString folder = dir.Wide();
        if (c.trailingSeparator) folder += u'/';
        Logging::Init(folder, false);
        ASSERT_TRUE(Logging::IsInitialized());
        Logging::Term();
        EXPECT_EQ(ReadFileBytes(dir.path() / "Tessmar.log"), kBom + kHeader);
        EXPECT_EQ(fs::exists(dir.path() / "Tessmar.bak"), c.expectedBak.has_value());
        if (c.expectedBak) {
            EXPECT_EQ(ReadFileBytes(dir.path() / "Tessmar.bak"), *c.expectedBak);
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()),
                  c.expectedBak ? 2 : 1);
    }
}

// A folder that cannot take the log sends it to the temporary folder, where nothing is rotated.
TEST_F(LoggingTest, FallsBackToTheTemporaryFolder) {
    dir_.WriteFile("plain", "a regular file");
    const struct {
        const char* name;
        std::string folder;
        bool append;
        std::string expected;
    } cases[] = {
        {"missing folder", (dir_.path() / "missing").string(), false, kBom + kHeader},
        {"parent is a file", (dir_.path() / "plain" / "logs").string(), false, kBom + kHeader},
        {"folder is a file", (dir_.path() / "plain").string(), false, kBom + kHeader},
        {"parent is a file, append", (dir_.path() / "plain" / "logs").string(), true,
         "earlier" + kHeader},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir temp;
        temp.WriteFile("Tessmar.log", "earlier");
        {
            util_testing::ScopedEnvVar tmpdir("TMPDIR", temp.path().string());
            Logging::Init(CString::FromUtf8(c.folder), c.append);
        }
        ASSERT_TRUE(Logging::IsInitialized());
        Logging::Term();
        EXPECT_EQ(ReadFileBytes(temp.path() / "Tessmar.log"), c.expected);
        EXPECT_FALSE(fs::exists(temp.path() / "Tessmar.bak"));
        EXPECT_EQ(ReadFileBytes(dir_.path() / "plain"), "a regular file");
    }
}

// Init on an open log closes it and opens again, in the same folder or another one.
TEST_F(LoggingTest, InitAgainWithoutTerm) {
    const struct {
        const char* name;
        bool sameFolder, append;
        std::string expectedFirst, expectedSecond;
    } cases[] = {
        {"same folder, append", true, true,
         kBom + kHeader + Utf16le(u"first\r\nTessmar.log\r\nsecond\r\n"), ""},
        {"same folder, fresh", true, false, kBom + kHeader + Utf16le(u"second\r\n"), ""},
        {"other folder, append", false, true, kBom + kHeader + Utf16le(u"first\r\n"),
         kHeader + Utf16le(u"second\r\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir first, second;
        Logging::Init(first.Wide(), false);
        Logging::Write(u"first", false);
        Logging::Init(c.sameFolder ? first.Wide() : second.Wide(), c.append);
        ASSERT_TRUE(Logging::IsInitialized());
        Logging::Write(u"second", false);
        Logging::Term();
        EXPECT_EQ(ReadFileBytes(first.path() / "Tessmar.log"), c.expectedFirst);
        EXPECT_EQ(ReadFileBytes(second.path() / "Tessmar.log"), c.expectedSecond);
    }
}

// Lifts the simulated full disk at the end of a test, whatever happened in it.
struct WriteLimit {
    explicit WriteLimit(int64_t bytes) { util_platform::LimitWritesForTesting(bytes); }
    ~WriteLimit() { util_platform::LimitWritesForTesting(-1); }
};

// On a full disk the line that does not fit is dropped whole; the log stays open and takes the
// next line once there is room again.
TEST_F(LoggingTest, FullDiskDropsWholeLines) {
    const std::u16string line = Stamped(u"does not fit");
    const int64_t lineBytes = static_cast<int64_t>(line.size() * 2);
    const int64_t rooms[] = {0, 1, 2, lineBytes / 2 + 1, lineBytes - 1};
    for (int64_t room : rooms) {
        SCOPED_TRACE(room);
        Logging::Init(dir_.Wide(), false);
        ASSERT_TRUE(Logging::IsInitialized());
        Logging::Write(u"before", false);
        {
            WriteLimit limit(room);
            Logging::WriteV(u"%s", u"does not fit");
            EXPECT_TRUE(Logging::IsInitialized());
        }
        Logging::Write(u"after", false);
        Logging::Term();
        EXPECT_EQ(LogBytes(), kBom + kHeader + Utf16le(u"before\r\nafter\r\n"));
    }
}

// When not even the byte-order mark fits, neither folder takes the log and Init fails; no
// half-written mark is left behind.
TEST_F(LoggingTest, FullDiskAtInitFails) {
    ScratchDir temp;
    for (int64_t room : {0, 1}) {
        SCOPED_TRACE(room);
        {
            util_testing::ScopedEnvVar tmpdir("TMPDIR", temp.path().string());
            WriteLimit limit(room);
            Logging::Init(dir_.Wide(), false);
        }
        EXPECT_FALSE(Logging::IsInitialized());
        Logging::Write(u"dropped", false);
        EXPECT_EQ(LogBytes(), "");
        EXPECT_EQ(ReadFileBytes(temp.path() / "Tessmar.log"), "");
    }
}

TEST(LogFileTest, DestructionClosesTheFile) {
    ScratchDir dir;
    CFileAccess files;
    FileHandle handle = nullptr;
    {
        CLogFile log;
        handle = files.FA_OpenFile(dir.Wide("x.log"), FM_Create);
        ASSERT_TRUE(CLogFile::IsValid(handle));
        log.Replace(handle);
        EXPECT_TRUE(log.WriteLocked(u"ab", 2));
    }
    EXPECT_EQ(files.FA_WriteFile(handle, "x", 1), 0);  // the handle is closed
    EXPECT_EQ(ReadFileBytes(dir.path() / "x.log"), Utf16le(u"ab"));
}

// Lines from many threads arrive whole: none lost, none interleaved, each thread's in order.
TEST_F(LoggingTest, ConcurrentWritersNeverInterleave) {
    constexpr int kThreads = 8;
    constexpr int kLines = 20000;
    util_platform::SetLocalTimeSourceForTesting(nullptr);  // every thread reads the real clock
    Logging::Init(dir_.Wide(), false);
    ASSERT_TRUE(Logging::IsInitialized());
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) Logging::WriteV(u"thread %d line %05d end", t, i);
        });
    }
    for (auto& thread : threads) thread.join();
    Logging::Term();

    const std::string bytes = LogBytes();
    ASSERT_EQ(bytes.size() % 2, 0u);
    ASSERT_EQ(bytes.compare(0, 2 + kHeader.size(), kBom + kHeader), 0);
    std::u16string text;
    for (size_t i = 2 + kHeader.size(); i < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    std::vector<int> next(kThreads, 0);
    int lines = 0;
    const size_t prefix = 1 + 23 + std::u16string_view(u"] thread ").size();
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find(u"\r\n", pos);
        ASSERT_NE(end, std::u16string::npos);
        const std::u16string_view line(text.data() + pos, end - pos);
        ASSERT_GT(line.size(), prefix) << CString(line).ToUtf8();
        const int t = line[prefix] - u'0';
        ASSERT_TRUE(t >= 0 && t < kThreads) << CString(line).ToUtf8();
        CString expected;
        expected.Format(u"[%s] thread %d line %05d end", CString(line.substr(1, 23)).GetString(), t,
                        next[t]);
        ASSERT_EQ(line, expected.View());
        ++next[t];
        ++lines;
        pos = end + 2;
    }
    EXPECT_EQ(lines, kThreads * kLines);
}

}  // namespace
