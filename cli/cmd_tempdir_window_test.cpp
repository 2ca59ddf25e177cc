#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "util/testing/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exit_code;
    std::string out;
};

// Runs tessmar-util through the shell with the given environment prefix and arguments.
Outcome RunCli(const util_testing::ScratchDir& scratch, const std::string& command) {
    fs::path out = scratch.path() / "stdout.txt";
    std::string line = command + " >" + out.string() + " 2>/dev/null";
    int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, util_testing::ReadFileBytes(out)};
}

TEST(TempDirAndWindowCommands, ExitCodesAndOutput) {
    util_testing::ScratchDir scratch;
    scratch.WriteFile("file", "x");
    const std::string cli = UTIL_TEST_CLI;
    const std::string temp = (scratch.path() / "temp").string();
    const std::string made = temp + "/tmp1.TMP\n";
    struct Case {
        std::string command;
        int exit_code;
        std::string out;
    };
    const Case cases[] = {
        {"TMPDIR=" + temp + " " + cli + " tempdir", 0, made},
        {"echo | TMPDIR=" + temp + " " + cli + " tempdir --keep-open", 0, made},
        {"TMPDIR=" + scratch.path().string() + "/file " + cli + " tempdir", 1, ""},
        {cli + " tempdir now", 2, ""},
        {"DISPLAY= " + cli + " window Tessmar", 1, ""},
        {cli + " window", 2, ""},
        {cli + " window a b", 2, ""},
    };
    for (const Case& c : cases) {
        Outcome outcome = RunCli(scratch, c.command);
        EXPECT_EQ(outcome.exit_code, c.exit_code) << c.command;
        EXPECT_EQ(outcome.out, c.out) << c.command;
        // Whatever happened, no directory is left behind.
        EXPECT_FALSE(fs::exists(temp + "/tmp1.TMP")) << c.command;
    }
}

}  // namespace
