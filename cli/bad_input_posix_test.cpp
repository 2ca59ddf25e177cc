// Every command on bad input: missing arguments, unknown options, a folder where a file is
// expected, a missing file, a binary file, a large file, arguments that are not valid UTF-8.
// The program must answer with exit 2 (usage) or 1 (failure) and one clear line on standard
// error, or succeed where the input is acceptable after all; never crash, never hang. POSIX
// only: a hung program is stopped with timeout(1).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "util/testing/run_cli.h"
#include "util/testing/scratch_dir.h"

namespace {

using Args = std::vector<std::string>;

// The large file's size: 4 MiB here, so that the suite stays quick; `make reliability` runs this
// test with UTIL_CLI_BIG_FILE_MB=100.
size_t BigFileBytes() {
    const char* megabytes = std::getenv("UTIL_CLI_BIG_FILE_MB");
    const long value = megabytes ? std::strtol(megabytes, nullptr, 10) : 0;
    return static_cast<size_t>(value > 0 ? value : 4) << 20;
}

// Runs the program, killed after a minute: a hang shows as a kill, not as a stuck suite.
util_testing::RunResult Run(const Args& args, const std::string& input = "") {
    Args all = {"-s", "KILL", "60", UTIL_TEST_CLI};
    all.insert(all.end(), args.begin(), args.end());
    return util_testing::RunProgram("timeout", all, {"TMPDIR"}, input);
}

// The answer's shape: usage errors and failures name the problem on the first line of standard
// error ("tessmar-util: ..."); only a usage error may follow it with the usage text. A success
// may carry one line of note. Commands whose exit status is their answer (`ip check`, `ip same`,
// `ip scope`: 1 for "no") may exit 1 with the answer on standard output and nothing on error.
void ExpectClearAnswer(const Args& args, const std::set<int>& allowed,
                       const std::string& input = "") {
    std::string shown;
    for (const std::string& arg : args) shown += " " + arg.substr(0, 60);
    SCOPED_TRACE("tessmar-util" + shown);
    const util_testing::RunResult run = Run(args, input);
    EXPECT_TRUE(allowed.count(run.exitCode)) << "exit " << run.exitCode << "\n" << run.err;
    const bool exitIsAnswer = args.size() >= 2 && args[0] == "ip" &&
                              (args[1] == "check" || args[1] == "same" || args[1] == "scope");
    if (run.exitCode == 0 || (run.exitCode == 1 && exitIsAnswer && run.err.empty())) {
        EXPECT_LE(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        return;
    }
    const size_t end = run.err.find('\n');
    ASSERT_NE(end, std::string::npos) << run.err;
    EXPECT_EQ(run.err.rfind("tessmar-util: ", 0), 0u) << run.err;
    EXPECT_GT(end, std::string("tessmar-util: ").size()) << run.err;
    if (run.exitCode == 1) {
        EXPECT_EQ(end + 1, run.err.size()) << "one line only:\n" << run.err;
    }
    if (run.exitCode == 2) {
        const std::string rest = run.err.substr(end + 1);
        EXPECT_TRUE(rest.rfind("usage:\n", 0) == 0 || rest.rfind("Try ", 0) == 0) << run.err;
    }
}

class CliBadInput : public ::testing::Test {
  protected:
    void SetUp() override {
        std::mt19937 random(7);
        std::string binary(4096, '\0');
        for (char& byte : binary) byte = static_cast<char>(random());
        binary_ = scratch_.WriteFile("binary.bin", binary).string();
        std::ofstream big(scratch_.path() / "big.bin", std::ios::binary);
        for (size_t written = 0; written < BigFileBytes(); written += binary.size())
            big.write(binary.data(), static_cast<std::streamsize>(binary.size()));
        big_ = (scratch_.path() / "big.bin").string();
        folder_ = scratch_.path().string();
        missing_ = (scratch_.path() / "missing.bin").string();
        out_ = (scratch_.path() / "out.bin").string();
    }
    util_testing::ScratchDir scratch_;
    std::string binary_, big_, folder_, missing_, out_;
};

TEST_F(CliBadInput, MissingArgumentsAndUnknownOptionsAreUsageErrors) {
    const Args missing[] = {
        {"help", "nonsense"},
        {"base64"},
        {"base64", "encode", "--text"},
        {"base64", "sideways"},
        {"desc"},
        {"desc", "f", "--offset"},
        {"desc", "f", "--offset", "x"},
        {"encoding"},
        {"ini"},
        {"ini", "f"},
        {"ip"},
        {"ip", "check"},
        {"ip", "same", "a"},
        {"ip", "cut"},
        {"ip", "bond", "x"},
        {"ip", "scope"},
        {"log"},
        {"log", "--dir"},
        {"log", "show"},
        {"log", "download"},
        {"paths", "--lang"},
        {"size"},
        {"stamp"},
        {"stamp", "a", "b"},
        {"text"},
        {"window"},
        {"demo", "x"},
        {"nonsense"},
    };
    for (const Args& args : missing) ExpectClearAnswer(args, {2});
    // An unknown option after an otherwise complete command line.
    const Args complete[] = {
        {"base64", "encode", "--text", "x"},
        {"desc", binary_},
        {"encoding", binary_},
        {"env"},
        {"ini", binary_, "S"},
        {"ip", "check", "1.2.3.4"},
        {"log", "--dir", folder_, "x"},
        {"log", "show", binary_},
        {"paths"},
        {"size", binary_},
        {"stamp", binary_, out_, "ID"},
        {"tempdir"},
        {"text", binary_},
        {"window", "x"},
    };
    for (Args args : complete) {
        args.push_back("--no-such-option");
        ExpectClearAnswer(args, {2});
    }
}

TEST_F(CliBadInput, FilesThatAreNotWhatTheCommandExpects) {
    // FILE stands for the file given. Exit 1 for a folder and a missing file; a binary or a large
    // file may also be acceptable (exit 0).
    const Args commands[] = {
        {"desc", "FILE"},
        {"encoding", "FILE"},
        {"ini", "FILE", "S"},
        {"ini", "FILE", "S", "K"},
        {"log", "show", "FILE"},
        {"size", "FILE"},
        {"stamp", "FILE", "OUT", "ID"},
        {"text", "FILE"},
        {"text", "FILE", "--dos"},
    };
    const std::pair<std::string, std::set<int>> files[] = {
        {folder_, {1}}, {missing_, {1}}, {binary_, {0, 1}}, {big_, {0, 1}}};
    for (Args command : commands) {
        // One value from a settings file that cannot be read is the empty default, as the
        // profile API answers it.
        const bool defaultValue = command.size() == 4 && command[0] == "ini";
        for (const auto& [file, allowed] : files) {
            Args args = command;
            for (std::string& arg : args) {
                if (arg == "FILE") arg = file;
                if (arg == "OUT") arg = out_;
            }
            ExpectClearAnswer(args, defaultValue ? std::set<int>{0} : allowed);
        }
    }
    // A destination that is a folder, a log folder that is a file.
    ExpectClearAnswer({"stamp", binary_, folder_, "ID"}, {1});
    ExpectClearAnswer({"log", "--dir", binary_, "x"}, {0, 1});  // the temporary folder takes it
    // Binary and large input on standard input.
    ExpectClearAnswer({"base64", "encode"}, {0}, util_testing::ReadFileBytes(big_));
    ExpectClearAnswer({"base64", "decode"}, {0, 1}, util_testing::ReadFileBytes(binary_));
}

TEST_F(CliBadInput, ArgumentsThatAreNotValidUtf8) {
    for (const std::string& bad : {std::string("\xFF\xFE"), std::string("a\xC3"),
                                   std::string("\xED\xA0\x80z"), std::string("\xC0\xAF")}) {
        const Args rows[] = {
            {"base64", "encode", "--text", bad},
            {"base64", "decode", "--text", bad},
            {"desc", bad},
            {"encoding", bad},
            {"ini", bad, bad},
            {"ip", "check", bad},
            {"ip", "same", bad, bad},
            {"ip", "cut", bad},
            {"ip", "bond", bad, bad},
            {"ip", "scope", bad},
            {"log", "--dir", folder_, bad},
            {"log", "--dir", folder_ + "/" + bad, "x"},
            {"log", "show", bad},
            {"paths", "--lang", bad},
            {"size", bad},
            {"stamp", binary_, folder_ + "/" + bad, bad},
            {"text", bad},
            {"window", bad},
            {bad},
        };
        for (const Args& args : rows) ExpectClearAnswer(args, {0, 1, 2});
    }
}

}  // namespace
