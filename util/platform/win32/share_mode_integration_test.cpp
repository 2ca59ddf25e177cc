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
#include "util/platform/file.h"
#include "util/platform/stdio_file.h"
#include "util/testing/scoped_env_var.h"
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

const char* const kChildPath = "UTIL_SHARE_CHILD_PATH";
const char* const kChildWay = "UTIL_SHARE_CHILD_WAY";
const char* const kChildReport = "UTIL_SHARE_CHILD_REPORT";

// An open file of either kind, closed when it goes away.
class Opened {
  public:
    Opened(const std::u16string& path, Way way) {
        if (way == kStreamRead || way == kStreamWrite) {
            stream_ = util_platform::OpenStdioFile(path, way == kStreamRead ? "rb" : "ab", nullptr);
            return;
        }
        FileOpenOptions options;
        options.access = way == kFileRead || way == kReaderSharing ? kAccessRead
                         : way == kWriterSharing                   ? kAccessWrite
                                                                   : kAccessReadWrite;
        options.share =
            way == kReaderSharing || way == kWriterSharing ? kAccessReadWrite : kAccessRead;
        options.creation = util_platform::FileCreation::kOpenAlways;
        handle_ = util_platform::OpenFileShared(path, options);
        error_ = util_platform::LastError();
    }
    ~Opened() {
        if (stream_) std::fclose(stream_);
        if (handle_) util_platform::CloseFileHandle(handle_);
    }
    bool ok() const { return stream_ != nullptr || handle_ != nullptr; }
    int error() const { return error_; }

  private:
    std::FILE* stream_ = nullptr;
    FileHandle handle_ = nullptr;
    int error_ = 0;
};

// The second copy's side: opens the file the way it is told and writes "opened" or
// "refused <error>" to the report file. Does nothing in an ordinary run.
TEST(ShareModeChild, OpenAndReport) {
    const char* path = std::getenv(kChildPath);
    if (!path || !*path) GTEST_SKIP() << "runs only as the child of the share-mode test";
    Opened opened(util_base::Utf8ToUtf16(path),
                  static_cast<Way>(std::atoi(std::getenv(kChildWay))));
    const std::string report = opened.ok() ? "opened" : "refused " + std::to_string(opened.error());
    std::FILE* out = std::fopen(std::getenv(kChildReport), "wb");
    ASSERT_NE(out, nullptr);
    std::fputs(report.c_str(), out);
    std::fclose(out);
}

// Starts this program again with only the child's test selected; answers its report.
std::string RunChild(const util_testing::ScratchDir& scratch, const CString& path, Way way) {
    const std::string report = (scratch.path() / "report.txt").string();
    std::remove(report.c_str());
    util_testing::ScopedEnvVar childPath(kChildPath, path.ToUtf8()),
        childWay(kChildWay, std::to_string(static_cast<int>(way))),
        childReport(kChildReport, report);
    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(self, length) + L"\" --gtest_filter=ShareModeChild.OpenAndReport";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return "not started";
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return exitCode != 0 ? "child failed" : util_testing::ReadFileBytes(report);
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
                const std::string report = RunChild(scratch, path, tried);
                const bool stream = tried == kStreamRead || tried == kStreamWrite;
                // A refused stream reports the C runtime's errno.
                EXPECT_EQ(stream && !admitted ? report.substr(0, 7) : report, admitted ? "opened"
                                                                              : stream ? "refused"
                                                                                       : refused);
            }
        }
    }
    // Once the holder is gone, the writer the modes refused gets in.
    EXPECT_EQ(RunChild(scratch, path, kFileReadWrite), "opened");
    EXPECT_EQ(util_testing::ReadFileBytes(scratch.path() / "held.bin"), "firmware");
}

}  // namespace
