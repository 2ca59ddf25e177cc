// Share modes across processes: this program holds a file open through one of the library's
// interfaces and starts a second copy of itself (CreateProcessW, a test filter that selects the
// child's test) which tries to open the same file through another. On Windows the system itself
// enforces the modes, between processes as within one.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "util/base/utf.h"
#include "util/platform/environment.h"
#include "util/platform/file.h"
#include "util/platform/stdio_file.h"
#include "util/testing/run_cli.h"
#include "util/testing/scratch_dir.h"

namespace {

using util_platform::FileOpenOptions;
using util_platform::kAccessRead;
using util_platform::kAccessReadWrite;
using util_platform::kAccessWrite;

// How one side opens the file.
enum Way {
    kFileRead,       // FM_Read: read, others may read
    kFileReadWrite,  // FM_Create / FM_Append: read and write, others may read
    kReaderSharing,  // read, others may read and write
    kWriterSharing,  // write, others may read and write
    kStreamRead,     // a text stream for reading ("rb")
    kStreamWrite,    // a text stream for writing ("ab")
};

// The child's instructions: the way (one digit), then the path.
const char* const kChild = "UTIL_SHARE_CHILD";

// An open file of either kind, closed when it goes away.
struct Opened {
    Opened(const std::u16string& path, Way way) {
        if (way == kStreamRead || way == kStreamWrite) {
            stream = util_platform::OpenStdioFile(path, way == kStreamRead ? "rb" : "ab", nullptr);
            return;
        }
        FileOpenOptions options;
        options.access = way == kFileRead || way == kReaderSharing ? kAccessRead
                         : way == kWriterSharing                   ? kAccessWrite
                                                                   : kAccessReadWrite;
        options.share =
            way == kReaderSharing || way == kWriterSharing ? kAccessReadWrite : kAccessRead;
        options.creation = util_platform::FileCreation::kOpenAlways;
        handle = util_platform::OpenFileShared(path, options);
        error = util_platform::LastError();
    }
    ~Opened() {
        if (stream) std::fclose(stream);
        if (handle) util_platform::CloseFileHandle(handle);
    }
    bool ok() const { return stream != nullptr || handle != nullptr; }

    std::FILE* stream = nullptr;
    FileHandle handle = nullptr;
    int error = 0;
};

// The second copy's side: opens the file the way it is told and prints "[report] opened" or
// "[report] refused <error>". Does nothing in an ordinary run.
TEST(ShareModeChild, OpenAndReport) {
    const char* child = std::getenv(kChild);
    if (!child || !*child) GTEST_SKIP() << "runs only as the child of the share-mode test";
    Opened opened(util_base::Utf8ToUtf16(child + 1), static_cast<Way>(child[0] - '0'));
    const std::string report = opened.ok() ? "opened" : "refused " + std::to_string(opened.error);
    std::printf("[report] %s\n", report.c_str());
}

// Starts this program again with only the child's test selected; answers its report.
std::string RunChild(const CString& path, Way way) {
    std::u16string self;
    int error = 0;
    if (!util_platform::ExecutablePath(&self, &error)) return "no executable path";
    const util_testing::RunResult run = util_testing::RunProgram(
        util_base::Utf16ToUtf8(self), {"--gtest_filter=ShareModeChild.OpenAndReport"},
        {std::string(kChild) + "=" + std::to_string(way) + path.ToUtf8()});
    const size_t at = run.out.find("[report] ");
    if (run.exitCode != 0 || at == std::string::npos) return "child failed";
    return run.out.substr(at + 9, run.out.find('\n', at) - at - 9);
}

// The file is held by this process (first way) while the child tries the second. "Others may
// read, not write": a holder that writes lets in only readers who let it go on writing.
TEST(ShareModeAcrossProcessesTest, SecondOpenerIsAdmittedOrRefusedAsTheModesSay) {
    const std::string refused = "refused " + std::to_string(ERROR_SHARING_VIOLATION);
    // Held for reading and writing, only a reader that shares writing gets in (a plain reader
    // would deny the holder's writing).
    // The way the file is held, the ways admitted beside it, the ways refused.
    const std::tuple<Way, std::vector<Way>, std::vector<Way>> cases[] = {
        {kFileReadWrite,
         {kReaderSharing},
         {kFileRead, kFileReadWrite, kWriterSharing, kStreamRead, kStreamWrite}},
        {kFileRead, {kFileRead, kStreamRead}, {kFileReadWrite, kStreamWrite}},
        {kStreamWrite, {kReaderSharing}, {kStreamRead, kWriterSharing}},
        {kStreamRead, {kFileRead}, {kFileReadWrite}},
    };
    util_testing::ScratchDir scratch;
    const CString path = scratch.Wide("held.bin");
    scratch.WriteFile("held.bin", "firmware");
    for (const auto& [held, admits, refuses] : cases) {
        for (const bool admitted : {true, false}) {
            for (const Way tried : admitted ? admits : refuses) {
                SCOPED_TRACE(testing::Message() << "held " << held << ", tried " << tried);
                Opened holder(path.GetString(), held);
                ASSERT_TRUE(holder.ok());
                const std::string report = RunChild(path, tried);
                const bool stream = tried == kStreamRead || tried == kStreamWrite;
                // A refused stream reports the C runtime's errno.
                EXPECT_EQ(stream && !admitted ? report.substr(0, 7) : report, admitted ? "opened"
                                                                              : stream ? "refused"
                                                                                       : refused);
            }
        }
    }
    // Once the holder is gone, the writer the modes refused gets in.
    EXPECT_EQ(RunChild(path, kFileReadWrite), "opened");
    EXPECT_EQ(util_testing::ReadFileBytes(scratch.path() / "held.bin"), "firmware");
}

}  // namespace
