// Share modes across processes: this program holds a file open through one of the library's
// interfaces and starts a second copy of itself (CreateProcessW, a test filter that selects the
// child's test) which tries to open the same file through another. On Windows the system itself
// enforces the modes, between processes as within one.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "util/base/utf.h"
#include "util/platform/file.h"
#include "util/platform/stdio_file.h"
#include "util/testing/scratch_dir.h"

namespace {

using util_platform::FileOpenOptions;
using util_platform::kAccessRead;
using util_platform::kAccessReadWrite;
using util_platform::kAccessWrite;

// How one side opens the file.
enum class Way {
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
        if (way == Way::kStreamRead || way == Way::kStreamWrite) {
            stream_ =
                util_platform::OpenStdioFile(path, way == Way::kStreamRead ? "rb" : "ab", nullptr);
            return;
        }
        FileOpenOptions options;
        options.access = way == Way::kFileRead || way == Way::kReaderSharing ? kAccessRead
                         : way == Way::kWriterSharing                        ? kAccessWrite
                                                                             : kAccessReadWrite;
        options.share = way == Way::kReaderSharing || way == Way::kWriterSharing ? kAccessReadWrite
                                                                                 : kAccessRead;
        options.creation = util_platform::FileCreation::kOpenAlways;
        handle_ = util_platform::OpenFileShared(path, options);
        error_ = util_platform::LastError();
    }
    ~Opened() {
        if (stream_) std::fclose(stream_);
        if (handle_) util_platform::CloseFileHandle(handle_);
    }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    bool ok() const { return stream_ != nullptr || handle_ != nullptr; }
    int error() const { return error_; }

  private:
    std::FILE* stream_ = nullptr;
    FileHandle handle_ = nullptr;
    int error_ = 0;
};

std::u16string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? util_base::Utf8ToUtf16(value) : std::u16string();
}

// The second copy's side: opens the file the way it is told and writes "opened" or
// "refused <error>" to the report file. Does nothing in an ordinary run.
TEST(ShareModeChild, OpenAndReport) {
    const std::u16string path = Environment(kChildPath);
    if (path.empty()) GTEST_SKIP() << "runs only as the child of the share-mode test";
    const Way way = static_cast<Way>(std::atoi(std::getenv(kChildWay)));
    Opened opened(path, way);
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
    ::SetEnvironmentVariableA(kChildPath, util_base::Utf16ToUtf8(path.GetString()).c_str());
    ::SetEnvironmentVariableA(kChildWay, std::to_string(static_cast<int>(way)).c_str());
    ::SetEnvironmentVariableA(kChildReport, report.c_str());

    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(self, length) + L"\" --gtest_filter=ShareModeChild.OpenAndReport";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const BOOL started = ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                          nullptr, &startup, &process);
    ::SetEnvironmentVariableA(kChildPath, nullptr);
    if (!started) return "not started";
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    if (exitCode != 0) return "child failed";
    return util_testing::ReadFileBytes(report);
}

// The file is held by this process (first way) while the child tries the second. "Others may
// read, not write": a holder that writes lets in only readers who let it go on writing.
TEST(ShareModeAcrossProcessesTest, SecondOpenerIsAdmittedOrRefusedAsTheModesSay) {
    const std::string refused = "refused " + std::to_string(ERROR_SHARING_VIOLATION);
    const struct {
        Way held, tried;
        bool admitted;
    } cases[] = {
        {Way::kFileReadWrite, Way::kReaderSharing, true},
        {Way::kFileReadWrite, Way::kFileRead, false},  // it would deny the holder's writing
        {Way::kFileReadWrite, Way::kFileReadWrite, false},
        {Way::kFileReadWrite, Way::kWriterSharing, false},
        {Way::kFileReadWrite, Way::kStreamRead, false},
        {Way::kFileReadWrite, Way::kStreamWrite, false},
        {Way::kFileRead, Way::kFileRead, true},
        {Way::kFileRead, Way::kStreamRead, true},
        {Way::kFileRead, Way::kFileReadWrite, false},
        {Way::kFileRead, Way::kStreamWrite, false},
        {Way::kStreamWrite, Way::kReaderSharing, true},
        {Way::kStreamWrite, Way::kStreamRead, false},
        {Way::kStreamWrite, Way::kWriterSharing, false},
        {Way::kStreamRead, Way::kFileRead, true},
        {Way::kStreamRead, Way::kFileReadWrite, false},
    };
    util_testing::ScratchDir scratch;
    const CString path = scratch.Wide("held.bin");
    scratch.WriteFile("held.bin", "firmware");
    for (const auto& c : cases) {
        SCOPED_TRACE("held " + std::to_string(static_cast<int>(c.held)) + ", tried " +
                     std::to_string(static_cast<int>(c.tried)));
        Opened holder(path.GetString(), c.held);
        ASSERT_TRUE(holder.ok());
        const std::string report = RunChild(scratch, path, c.tried);
        if (c.admitted) {
            EXPECT_EQ(report, "opened");
        } else if (c.tried == Way::kStreamRead || c.tried == Way::kStreamWrite) {
            EXPECT_EQ(report.rfind("refused", 0), 0u) << report;  // the C runtime's errno
        } else {
            EXPECT_EQ(report, refused);
        }
    }
    // Once the holder is gone, the writer the modes refused gets in.
    EXPECT_EQ(RunChild(scratch, path, Way::kFileReadWrite), "opened");
    EXPECT_EQ(util_testing::ReadFileBytes(scratch.path() / "held.bin"), "firmware");
}

}  // namespace
