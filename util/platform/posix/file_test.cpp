// The POSIX handle table under a close that races with a running call, and the share rule
// between processes under openers that race each other.

#include "util/platform/file.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
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

}  // namespace
