// The POSIX handle table under a close that races with a running call.

#include "util/platform/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "util/files/file_access.h"
#include "util/testing/scratch_dir.h"

namespace {

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

}  // namespace
