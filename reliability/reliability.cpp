// util_reliability: the long reliability runs that do not fit a unit test, with their figures.
//
//   util_reliability kill [RUNS]        the log under SIGKILL at a random moment (default 20 runs)
//   util_reliability descriptors [N]    N open/close cycles of every kind of handle (default
//                                       10,000): no file descriptor may be left open
//
// Each prints what it measured and exits 1 when a run broke a rule. `make reliability` runs both
// and the CLI bad-input table with a 100 MB file.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "util/files/file_access.h"
#include "util/files/file_util.h"
#include "util/files/inifile.h"
#include "util/files/scoped_temp_dir.h"
#include "util/logging/logging.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kThreads = 8, kLines = 20000;

fs::path MakeScratch(const char* what) {
    std::mt19937_64 random(
        static_cast<unsigned long long>(Clock::now().time_since_epoch().count()));
    const fs::path path = fs::temp_directory_path() / (std::string("util-reliability-") + what +
                                                       "-" + std::to_string(random()));
    fs::create_directories(path);
    return path;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// 8 threads x 20,000 lines through Logging::WriteV, as a host's download threads would.
[[noreturn]] void WriteLogAndExit(const fs::path& folder) {
    Logging::Init(CString::FromUtf8(folder.string()), false);
    if (!Logging::IsInitialized()) ::_exit(3);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) Logging::WriteV(u"thread %d line %05d end", t, i);
        });
    for (auto& thread : threads) thread.join();
    Logging::Term();
    ::_exit(0);
}

struct LogCheck {
    bool ok = true;
    long lines = 0;    // whole lines after the header
    bool cut = false;  // the last line is incomplete
    std::string problem;
};

// The rules for a log whose writer may have been killed: it decodes as UTF-16LE, it begins with
// the mark and the header (if it got that far), every line before the last is whole and in
// order per thread, with no line missing or repeated; only the last line may be cut.
LogCheck CheckLog(const std::string& bytes) {
    LogCheck check;
    auto fail = [&check](const std::string& why) {
        check.ok = false;
        if (check.problem.empty()) check.problem = why;
    };
    const std::string header =
        std::string("\xFF\xFE", 2) + std::string("T\0e\0s\0s\0m\0a\0r\0.\0l\0o\0g\0\r\0\n\0", 26);
    if (bytes.compare(0, std::min(bytes.size(), header.size()), header, 0,
                      std::min(bytes.size(), header.size())) != 0)
        fail("the file does not begin with the mark and the header");
    if (bytes.size() < header.size()) {
        check.cut = !bytes.empty() && bytes.size() != 2;
        return check;
    }
    std::u16string text;
    for (size_t i = header.size(); i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
    for (char16_t unit : text)
        if (unit >= 0xD800 && unit <= 0xDFFF)
            fail("an unpaired surrogate: the file does not decode");
    std::vector<int> next(kThreads, 0);
    size_t pos = 0;
    for (size_t end; (end = text.find(u"\r\n", pos)) != std::u16string::npos; pos = end + 2) {
        const std::u16string line = text.substr(pos, end - pos);
        // "[" 23-character timestamp "] thread T line NNNNN end"
        std::string narrow(line.begin(), line.end());
        int t = -1, i = -1;
        char tail[8] = {};
        if (narrow.size() != 1 + 23 + 2 + 23 || narrow[0] != '[' || narrow[24] != ']' ||
            std::sscanf(narrow.c_str() + 26, "thread %d line %5d %3s", &t, &i, tail) != 3 ||
            std::string(tail) != "end" || t < 0 || t >= kThreads) {
            fail("a broken line: " + narrow);
            break;
        }
        if (i != next[t])
            fail("thread " + std::to_string(t) + " line " + std::to_string(i) + " where " +
                 std::to_string(next[t]) + " was due");
        next[t] = i + 1;
        ++check.lines;
    }
    check.cut = pos != text.size() || bytes.size() % 2 != 0;
    return check;
}

int RunKills(int runs) {
    // One run to the end first: its duration sets the range of the random moment.
    const fs::path whole = MakeScratch("log");
    const auto start = Clock::now();
    const pid_t writer = ::fork();
    if (writer == 0) WriteLogAndExit(whole);
    int status = 0;
    ::waitpid(writer, &status, 0);
    const auto duration = Clock::now() - start;
    const LogCheck full = CheckLog(ReadBytes(whole / "Tessmar.log"));
    fs::remove_all(whole);
    std::printf("log, 8 threads x 20,000 lines, not killed: %ld lines (%s), %.2f s\n", full.lines,
                full.ok && full.lines == long(kThreads) * kLines && !full.cut
                    ? "all whole"
                    : full.problem.c_str(),
                std::chrono::duration<double>(duration).count());
    bool ok = full.ok && full.lines == long(kThreads) * kLines && WIFEXITED(status) &&
              WEXITSTATUS(status) == 0;

    std::mt19937_64 random(
        static_cast<unsigned long long>(Clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<long long> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(duration).count());
    long fewest = -1, most = 0, cuts = 0, broken = 0;
    for (int run = 0; run < runs; ++run) {
        const fs::path folder = MakeScratch("kill");
        const pid_t child = ::fork();
        if (child == 0) WriteLogAndExit(folder);
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        const LogCheck check = CheckLog(ReadBytes(folder / "Tessmar.log"));
        fs::remove_all(folder);
        if (!check.ok) {
            ++broken;
            std::printf("  run %d: %s\n", run + 1, check.problem.c_str());
        }
        fewest = fewest < 0 ? check.lines : std::min(fewest, check.lines);
        most = std::max(most, check.lines);
        cuts += check.cut ? 1 : 0;
    }
    std::printf(
        "log killed (SIGKILL) at a random moment, %d runs: %ld broken, %ld to %ld whole "
        "lines kept, last line cut in %ld runs\n",
        runs, broken, fewest, most, cuts);
    return ok && broken == 0 ? 0 : 1;
}

size_t OpenDescriptors() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

int RunDescriptorCycles(int cycles) {
    namespace fu = common::sdk::file_util;
    const fs::path scratch = MakeScratch("fd");
    ::setenv("TMPDIR", (scratch / "temp").c_str(), 1);
    auto wide = [&scratch](const char* name) {
        return CString::FromUtf8((scratch / name).string());
    };
    {
        std::ofstream(scratch / "file.bin", std::ios::binary) << std::string(300, 'x');
        std::ofstream(scratch / "s.ini") << "[S]\nk=v\n";
        fs::create_directories(scratch / "folder");
    }
    CFileAccess files;
    const CString file = wide("file.bin"), missing = wide("missing.bin"), folder = wide("folder");
    const CString out = wide("out.bin"), text = wide("text.txt"), ini = wide("s.ini");
    auto handle = [&files](FileHandle h) {
        if (h == nullptr) return false;
        files.FA_CloseFile(h);
        return true;
    };
    const std::vector<std::pair<const char*, std::function<bool()>>> kinds = {
        {"ScopedTempDir create/delete",
         [] {
             common::sdk::ScopedTempDir dir;
             return dir.Create();
         }},
        {"FA_OpenFile FM_Read", [&] { return handle(files.FA_OpenFile(file, FM_Read)); }},
        {"FA_OpenFile FM_Create", [&] { return handle(files.FA_OpenFile(out, FM_Create)); }},
        {"FA_OpenFile FM_Append", [&] { return handle(files.FA_OpenFile(out, FM_Append)); }},
        {"FA_OpenDevice read-write", [&] { return handle(files.FA_OpenDevice(file, 1)); }},
        {"FA_OpenDevice write", [&] { return handle(files.FA_OpenDevice(file, 0)); }},
        {"FA_OpenFile on a missing file (fails)",
         [&] { return !handle(files.FA_OpenFile(missing, FM_Read)); }},
        {"FA_OpenFile on a folder (fails)",
         [&] { return !handle(files.FA_OpenFile(folder, FM_Append)); }},
        {"FA_GetFileSize",
         [&] {
             uint32_t size = 0;
             return files.FA_GetFileSize(file, &size) == 1;
         }},
        {"FA_FileAddJobClientID",
         [&] { return files.FA_FileAddJobClientID(file, out, u"ID") == 1; }},
        {"makeDownloadDescList",
         [&] {
             CString description;
             return CFileAccess::makeDownloadDescList(file, 0, description) != MDL_OpenFailed;
         }},
        {"OpenTextFile w",
         [&] { return fu::OpenTextFile(CPath(text), u"w", fu::kUtf8) != nullptr; }},
        {"OpenTextFile r",
         [&] { return fu::OpenTextFile(CPath(text), u"r", fu::kUtf8) != nullptr; }},
        {"OpenTextFile on a folder (fails)",
         [&] { return fu::OpenTextFile(CPath(folder), u"r", fu::kUtf8) == nullptr; }},
        {"ReadFileToString",
         [&] {
             CString read;
             return fu::ReadFileToString(CPath(file), &read);
         }},
        {"inifile::GetString",
         [&] {
             CString value;
             return common::sdk::inifile::GetString(ini, u"S", u"k", &value) && value == u"v";
         }},
        {"Logging::Init/Term",
         [&] {
             Logging::Init(CString::FromUtf8(scratch.string()), true);
             Logging::Write(u"x", false);
             const bool ok = Logging::IsInitialized();
             Logging::Term();
             return ok;
         }},
    };
    bool ok = true;
    const size_t before = OpenDescriptors();
    for (const auto& [name, cycle] : kinds) {
        const size_t start = OpenDescriptors();
        const auto began = Clock::now();
        int failed = 0;
        for (int i = 0; i < cycles; ++i) failed += cycle() ? 0 : 1;
        const size_t end = OpenDescriptors();
        std::printf("%-40s %6d cycles, %d unexpected results, descriptors %zu -> %zu, %.2f s\n",
                    name, cycles, failed, start, end,
                    std::chrono::duration<double>(Clock::now() - began).count());
        ok = ok && failed == 0 && end == start;
    }
    const size_t after = OpenDescriptors();
    std::printf("open descriptors before all cycles: %zu, after: %zu\n", before, after);
    fs::remove_all(scratch);
    return ok && after == before ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    const int count = argc > 2 ? std::atoi(argv[2]) : 0;
    if (what == "kill") return RunKills(count > 0 ? count : 20);
    if (what == "descriptors") return RunDescriptorCycles(count > 0 ? count : 10000);
    std::fprintf(stderr, "usage: util_reliability kill [RUNS] | descriptors [CYCLES]\n");
    return 2;
}
