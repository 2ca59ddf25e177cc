#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "util/testing/scratch_dir.h"

namespace {

using util_testing::ReadFileBytes;
using util_testing::ScratchDir;

struct Outcome {
    int exitCode;
    std::string out;
};

// Runs tessmar-util with the arguments (each quoted) inside the scratch folder.
Outcome RunCli(const ScratchDir& dir, const std::vector<std::string>& args) {
    std::string command = "cd '" + dir.path().string() + "' && " UTIL_TEST_CLI;
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " >out.txt 2>err.txt";
    int status = std::system(command.c_str());
    int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return {exitCode, ReadFileBytes(dir.path() / "out.txt")};
}

TEST(FilesCommandTest, ExitCodesAndOutput) {
    ScratchDir dir;
    std::string firmware(140, 'F');
    firmware += std::string("\0\0\0\x06\0\0\0\0", 8) + "TM-400" + "tail";
    dir.WriteFile("fw.bin", firmware);
    dir.WriteFile("near.bin", std::string("0123456789") + std::string("\0\0\0\x03....", 8) + "ok!");
    dir.WriteFile("five.bin", "12345");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* out;  // standard output
    };
    const Case cases[] = {
        {{"size", "five.bin"}, 0, "5\n"},
        {{"size", "missing.bin"}, 1, ""},
        {{"size"}, 2, ""},
        {{"desc", "fw.bin"}, 0, "TM-40\n"},
        {{"desc", "near.bin", "--offset", "10"}, 0, "ok\n"},
        {{"desc", "--offset=10", "near.bin"}, 0, "ok\n"},
        {{"desc", "five.bin"}, 1, ""},
        {{"desc", "missing.bin"}, 1, ""},
        {{"desc", "fw.bin", "--offset", "ten"}, 2, ""},
        {{"desc", "fw.bin", "--offset", "4294967296"}, 2, ""},
        {{"stamp", "five.bin", "out.bin", "ID"}, 1, ""},  // shorter than the head
        {{"stamp", "fw.bin", "fw.bin", "ID"}, 1, ""},
        {{"stamp", "fw.bin", "out.bin"}, 2, ""},
        {{"stamp", "fw.bin", "stamped.bin", "JOB-7"}, 0, ""},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const auto& arg : c.args) line += arg + " ";
        SCOPED_TRACE(line);
        Outcome outcome = RunCli(dir, c.args);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_EQ(outcome.out, c.out);
    }
    EXPECT_EQ(ReadFileBytes(dir.path() / "fw.bin"), firmware);
    EXPECT_EQ(ReadFileBytes(dir.path() / "stamped.bin"),
              firmware.substr(0, 9) + "@JCID=JOB-7\r\n" + firmware.substr(9));
}

}  // namespace
