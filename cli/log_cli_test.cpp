// The `log` command as a user runs it: exit codes, and the log shown back as UTF-8.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <string>
#include <vector>

#include "util/testing/scratch_dir.h"

namespace {

struct Result {
    int exitCode;
    std::string out;
};

Result RunCli(const util_testing::ScratchDir& dir, const std::string& args) {
    const std::string outFile = (dir.path() / "stdout.txt").string();
    const std::string command =
        std::string("'") + UTIL_TEST_CLI + "' " + args + " >'" + outFile + "' 2>/dev/null";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, util_testing::ReadFileBytes(outFile)};
}

TEST(LogCliTest, WritesAndShowsLogs) {
    util_testing::ScratchDir dir;
    const std::string d = "'" + dir.path().string() + "'";
    const std::string log = "'" + (dir.path() / "Tessmar.log").string() + "'";
    dir.WriteFile("odd.log", std::string("\xFF\xFE"
                                         "A\0B",
                                         5));
    const struct {
        std::string args;
        int exitCode;
        std::vector<std::string> shown;  // substrings of the output, in order
    } cases[] = {
        {"log --dir " + d + " first 'second line'", 0, {}},
        {"log show " + log, 0, {"Tessmar.log\n[", "] first\n[", "] second line\n"}},
        {"log download --dir " + d + " --append --device TM-4200 --port COM3 sending", 0, {}},
        {"log show " + log,
         0,
         {"] second line\nTessmar.log\n------------------\n[Start Time]",
          "\n[Device Type]:TM-4200\n[Port Name]:COM3\n[", "] sending\n----\n[Finish Time]",
          "\n------------------\n\n"}},
        {"log --dir " + d + " --debug 'debug text'", 0, {}},
        {"log show " + log, 0, {"Tessmar.log\n[", "] debug text\n"}},
        {"log show " + (dir.path() / "odd.log").string(), 0, {"A\xEF\xBF\xBD"}},
        {"log show " + (dir.path() / "missing.log").string(), 1, {}},
        {"log show " + d, 1, {}},
        {"log", 2, {}},
        {"log --dir " + d, 2, {}},
        {"log first", 2, {}},
        {"log download --device x", 2, {}},
        {"log show", 2, {}},
        {"log show a b", 2, {}},
        {"log --dir " + d + " --bogus text", 2, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        Result result = RunCli(dir, c.args);
        EXPECT_EQ(result.exitCode, c.exitCode);
        size_t at = 0;
        for (const auto& piece : c.shown) {
            size_t found = result.out.find(piece, at);
            EXPECT_NE(found, std::string::npos) << piece << "\n--- in ---\n" << result.out;
            if (found != std::string::npos) at = found + piece.size();
        }
    }
    // The fresh log (no --append) moved the earlier one to the backup.
    EXPECT_FALSE(util_testing::ReadFileBytes(dir.path() / "Tessmar.bak").empty());
}

}  // namespace
