// The text, encoding and ini commands as a user runs them: output and exit codes.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

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

TEST(TextIniCliTest, CommandsAnswerAsDocumented) {
    util_testing::ScratchDir dir;
    dir.WriteFile("a.ini", "[Common]\r\nb = 2\r\nA=\"1\"\r\n");
    dir.WriteFile("u16.txt", std::string("\xFF\xFE"
                                         "a\0\r\0\n\0\xE9\0",
                                         10));
    const std::string ini = "'" + (dir.path() / "a.ini").string() + "'";
    const std::string text = "'" + (dir.path() / "u16.txt").string() + "'";
    const std::string missing = "'" + (dir.path() / "none").string() + "'";
    const struct {
        std::string args;
        int exitCode;
        std::string out;
    } cases[] = {
        {"ini " + ini + " common", 0, "A=\"1\"\nb=2\n"},
        {"ini " + ini + " COMMON a", 0, "1\n"},
        {"ini " + ini + " Other", 1, ""},
        {"ini " + missing + " Common x", 0, "\n"},
        {"ini " + ini, 2, ""},
        {"text " + text, 0, "a\n\xC3\xA9"},
        {"text --dos " + text, 0, "a\r\n\xC3\xA9"},
        {"text " + missing, 1, ""},
        {"encoding " + text, 0, "UTF-16LE\n"},
        {"encoding " + ini, 0, "ANSI (no byte-order mark)\n"},
        {"encoding " + missing, 1, ""},
        {"encoding", 2, ""},
    };
    for (const auto& c : cases) {
        const Result result = RunCli(dir, c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args;
        EXPECT_EQ(result.out, c.out) << c.args;
    }
}

}  // namespace
