// The POSIX handle table under a close that races with a running call, and the share rule
// between processes under openers that race each other.

#include "util/platform/file.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "util/base/utf.h"
#include "util/files/file_access.h"
#include "util/logging/logging.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"

namespace {

using util_testing::ReadFileBytes;

auto OpenDescriptors() {
    using Entries = std::filesystem::directory_iterator;
    return std::distance(Entries("/proc/self/fd"), Entries());
}

// Waits until the thread is asleep in the kernel (state S), here: blocked in its read.
bool WaitUntilAsleep(long tid) {
    for (int i = 0; i < 500; ++i) {
        std::string line;  // "tid (name) state ..."
        std::getline(std::ifstream("/proc/self/task/" + std::to_string(tid) + "/stat"), line);
        if (line.substr(line.rfind(')') + 1, 2) == " S") return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// A read blocked on a pipe keeps its descriptor even when another thread closes the handle, so
// the descriptor's number cannot be handed to a file opened meanwhile; the last running call
// releases it, and the closed handle is refused from then on.
TEST(PosixHandleTable, CloseDuringARunningReadDefersTheDescriptorsRelease) {
    util_testing::ScratchDir dir;
    const std::string fifo = (dir.path() / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    CFileAccess files;
    FileHandle pipe = files.FA_OpenDevice(dir.Wide("pipe"), 1);  // read-write: does not block
    ASSERT_NE(pipe, nullptr);

    std::promise<long> reader;
    auto read = std::async(std::launch::async, [&] {
        char buffer[16] = {};
        uint32_t got = 0;
        reader.set_value(static_cast<long>(::syscall(SYS_gettid)));
        const bool ok = files.FA_ReadFile(pipe, buffer, sizeof buffer, &got) == 1;
        return ok ? std::string(buffer, got) : "(failed)";
    });
    ASSERT_TRUE(WaitUntilAsleep(reader.get_future().get()));

    const size_t before = OpenDescriptors();
    EXPECT_EQ(files.FA_CloseFile(pipe), 1);
    EXPECT_EQ(OpenDescriptors(), before);    // still in use by the read
    EXPECT_EQ(files.FA_CloseFile(pipe), 0);  // already retired
    dir.WriteFile("other.bin", "");
    FileHandle other = files.FA_OpenFile(dir.Wide("other.bin"), FM_Append);
    ASSERT_NE(other, nullptr);

    std::ofstream(fifo) << "through";  // wakes the read on the original pipe
    EXPECT_EQ(read.get(), "through");
    EXPECT_EQ(OpenDescriptors(), before);  // the pipe went when the read ended; `other` came
    EXPECT_EQ(files.FA_WriteFile(other, "x", 1), 1);
    EXPECT_EQ(files.FA_CloseFile(other), 1);
    EXPECT_EQ(util_testing::ReadFileBytes(dir.path() / "other.bin"), "x");
    uint32_t got = 0;
    char byte;
    EXPECT_EQ(files.FA_ReadFile(pipe, &byte, 1, &got), 0);
}

// Reads and writes find their descriptor without the table's lock, so the handle's value alone
// must tell a live handle from everything else: changed in any one bit it names no open handle,
// and each operation refuses it, leaving the live one untouched.
TEST(PosixHandleTable, AHandleWithAnyBitChangedIsRefused) {
    util_testing::ScratchDir dir;
    dir.WriteFile("f.bin", "0123456789");
    CFileAccess files;
    FileHandle live = files.FA_OpenFile(dir.Wide("f.bin"), FM_Read);
    ASSERT_NE(live, nullptr);
    const auto value = reinterpret_cast<uintptr_t>(live);
    for (unsigned bit = 0; bit < sizeof value * 8; ++bit) {
        auto changed = reinterpret_cast<FileHandle>(value ^ (uintptr_t{1} << bit));
        char byte;
        uint32_t got = 0;
        EXPECT_EQ(files.FA_ReadFile(changed, &byte, 1, &got) + files.FA_WriteFile(changed, "x", 1) +
                      files.FA_SeekFile(changed, 0) + files.FA_CloseFile(changed),
                  0)
            << "bit " << bit;
    }
    char buffer[4] = {};
    uint32_t got = 0;
    EXPECT_TRUE(files.FA_ReadFile(live, buffer, 3, &got) == 1 && std::string(buffer, got) == "012");
    EXPECT_EQ(files.FA_CloseFile(live), 1);
}

// Many handles at once (more than one block of the table's lock-free part), each written by a
// thread of its own while the main thread closes them all: every write lands whole in its own
// file or is refused, and once the writers are done no descriptor is left open.
TEST(PosixHandleTable, WritersRacingCloseLeakNoDescriptor) {
    struct rlimit limit {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    constexpr rlim_t kWanted = 1400;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < kWanted)
        GTEST_SKIP() << "the descriptor limit is below " << kWanted;
    const struct rlimit saved = limit;
    limit.rlim_cur = std::max<rlim_t>(limit.rlim_cur, kWanted);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);

    util_testing::ScratchDir dir;
    CFileAccess files;
    constexpr int kHandles = 1200, kThreads = 4;
    const auto before = OpenDescriptors();
    std::vector<FileHandle> handles;
    for (int i = 0; i < kHandles; ++i) {
        handles.push_back(files.FA_OpenFile(dir.Wide(std::to_string(i) + ".txt"), FM_Create));
        ASSERT_NE(handles.back(), nullptr) << i;
    }
    std::atomic<bool> go{false};
    std::vector<std::thread> writers;
    std::vector<int> written(kHandles, 0);
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([&, t] {
            while (!go.load()) {
            }
            for (int round = 0; round < 20; ++round)
                for (int i = t; i < kHandles; i += kThreads)
                    written[i] += files.FA_WriteFile(handles[i], "line\n", 5);
        });
    go.store(true);
    int closed = 0;
    for (FileHandle handle : handles) closed += files.FA_CloseFile(handle);
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(closed, kHandles);
    EXPECT_EQ(OpenDescriptors(), before);
    for (int i = 0; i < kHandles; i += 97) {
        std::string lines;
        for (int n = 0; n < written[i]; ++n) lines += "line\n";
        EXPECT_EQ(ReadFileBytes(dir.path() / (std::to_string(i) + ".txt")), lines) << i;
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
}

// Runs `body(process)` in `processes` children at once (each waits until all have started);
// answers the sum of their exit codes (each child's own count of what went wrong), or -1 when
// a child did not exit by itself.
template <typename Body>
int RaceInChildren(int processes, Body body) {
    auto* started = static_cast<std::atomic<int>*>(::mmap(nullptr, sizeof(std::atomic<int>),
                                                          PROT_READ | PROT_WRITE,
                                                          MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (started == MAP_FAILED) return -1;
    started->store(0);
    std::vector<pid_t> children;
    for (int process = 0; process < processes; ++process) {
        const pid_t child = ::fork();
        if (child == 0) {
            started->fetch_add(1);
            while (started->load() < processes) {
            }
            ::_exit(body(process));
        }
        if (child > 0) children.push_back(child);
    }
    int sum = children.size() == static_cast<size_t>(processes) ? 0 : -1;
    for (pid_t child : children) {
        int status = 0;
        if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
            sum = -1;
        else if (sum >= 0)
            sum += WEXITSTATUS(status);
    }
    ::munmap(started, sizeof(std::atomic<int>));
    return sum;
}

// Counts lines that are exactly "<process> <round>" for the given process, in a byte text
// (FA_WriteFile of narrow lines) or in a log (UTF-16LE, lines "[timestamp] <process> <round>").
struct LineCount {
    int whole = 0, broken = 0;
};
LineCount CountLines(const std::string& text, const std::string& pattern) {
    LineCount count;
    std::istringstream lines(text);
    const std::regex line(pattern);
    for (std::string piece; std::getline(lines, piece);)
        ++(std::regex_match(piece, line) ? count.whole : count.broken);
    return count;
}

std::string Narrow(const std::string& utf16le) {
    std::u16string units(utf16le.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(utf16le[2 * i]) |
                                         static_cast<unsigned char>(utf16le[2 * i + 1]) << 8);
    std::string text = util_base::Utf16ToUtf8(units);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// Two processes open one file for appending as fast as they can, 10,000 opens in all. The
// share rule lets only one of them hold it at a time: never are both inside (counted through a
// shared page), and every line an admitted opener appended is there, whole.
TEST(PosixShareLocks, RacingOpenersAreNeverBothAdmitted) {
    util_testing::ScratchDir dir;
    const CString path = dir.Wide("raced.txt");
    constexpr int kRounds = 5000;
    auto* shared = static_cast<std::atomic<int>*>(
        ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(shared, MAP_FAILED);
    std::atomic<int>& inside = shared[0];
    std::atomic<int>& overlaps = shared[1];
    std::atomic<int>& appended = shared[2];
    const int failures = RaceInChildren(2, [&](int process) {
        CFileAccess files;
        int wrong = 0;
        for (int round = 0; round < kRounds; ++round) {
            FileHandle file = files.FA_OpenFile(path, FM_Append);
            if (!file) continue;
            if (inside.fetch_add(1) != 0) overlaps.fetch_add(1);
            const std::string line = std::to_string(process) + " " + std::to_string(round) + "\n";
            wrong += !files.FA_WriteFile(file, line.data(), static_cast<uint32_t>(line.size()));
            appended.fetch_add(1);
            inside.fetch_sub(1);
            files.FA_CloseFile(file);
        }
        return wrong;
    });
    const LineCount lines = CountLines(ReadFileBytes(dir.path() / "raced.txt"), "[01] [0-9]+");
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_GT(appended.load(), 0);
    EXPECT_EQ(std::make_pair(lines.whole, lines.broken), std::make_pair(appended.load(), 0));
    ::munmap(shared, 4096);
}

// Two processes keep opening the log for appending in one folder, writing a line and closing
// it again. A process that finds the log held writes to the temporary folder instead; so
// between the two files every line written while the log was open is kept, whole.
TEST(PosixShareLocks, RacingLogsLoseNoLine) {
    util_testing::ScratchDir dir, temp;
    util_testing::ScopedEnvVar tmpdir("TMPDIR", temp.path().string());
    constexpr int kRounds = 1500;
    auto* written = static_cast<std::atomic<int>*>(
        ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(written, MAP_FAILED);
    const CString folder = dir.Wide();
    const int failures = RaceInChildren(2, [&](int process) {
        for (int round = 0; round < kRounds; ++round) {
            Logging::Init(folder, true);
            if (!Logging::IsInitialized()) continue;
            Logging::WriteV(u"%d %d", process, round);
            written[process].fetch_add(1);
            Logging::Term();
        }
        return 0;
    });
    EXPECT_EQ(failures, 0);
    const std::string logs = Narrow(ReadFileBytes(dir.path() / "Tessmar.log")) +
                             Narrow(ReadFileBytes(temp.path() / "Tessmar.log"));
    for (int process = 0; process < 2; ++process) {
        SCOPED_TRACE(process);
        const LineCount lines =
            CountLines(logs, "\\[[-0-9: .]{23}\\] " + std::to_string(process) + " [0-9]+");
        EXPECT_GT(written[process].load(), 0);
        EXPECT_EQ(lines.whole, written[process].load());
    }
    // Besides those lines only each Init's header "Tessmar.log".
    const LineCount all = CountLines(logs, "\\[[-0-9: .]{23}\\] [01] [0-9]+|Tessmar.log");
    EXPECT_EQ(all.broken, 0);
    ::munmap(written, 4096);
}

// One process keeps its log open while another starts fresh logs in the same folder, twice
// (the second would delete a backup the first made): the live log is neither renamed nor
// deleted, so every line of its holder ends up in it, and the fresh logs go to the temporary
// folder.
TEST(PosixShareLocks, AFreshLogElsewhereLeavesALiveLogInPlace) {
    util_testing::ScratchDir dir, temp;
    util_testing::ScopedEnvVar tmpdir("TMPDIR", temp.path().string());
    auto* step = static_cast<std::atomic<int>*>(
        ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(step, MAP_FAILED);
    const CString folder = dir.Wide();
    const int failures = RaceInChildren(2, [&](int process) {
        if (process == 0) {  // the holder
            Logging::Init(folder, true);
            Logging::WriteV(u"holder %d", 1);
            step->store(1);
            while (step->load() != 2) ::sched_yield();
            Logging::WriteV(u"holder %d", 2);
            Logging::Term();
            return 0;
        }
        while (step->load() != 1) ::sched_yield();
        for (int i = 0; i < 2; ++i) {
            Logging::Init(folder, false);
            Logging::WriteV(u"fresh %d", i);
        }
        Logging::Term();
        step->store(2);
        return 0;
    });
    EXPECT_EQ(failures, 0);
    const std::string log = Narrow(ReadFileBytes(dir.path() / "Tessmar.log"));
    EXPECT_EQ(CountLines(log, "\\[[-0-9: .]{23}\\] holder [12]").whole, 2) << log;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Tessmar.bak"));
    EXPECT_EQ(CountLines(Narrow(ReadFileBytes(temp.path() / "Tessmar.log")),
                         "\\[[-0-9: .]{23}\\] fresh 1")
                  .whole,
              1);
    ::munmap(step, 4096);
}

}  // namespace
