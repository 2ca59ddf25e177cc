#ifndef UTIL_TESTING_RUN_CLI_H
#define UTIL_TESTING_RUN_CLI_H

// Test support: runs a program as a user would and answers its exit code and what it printed.
// The arguments reach the program exactly as given (no shell in between, so nothing needs
// quoting). Being test support, this uses the system's calls directly (fork and exec on POSIX,
// CreateProcessW on Windows); the program's standard streams are unnamed temporary files, so no
// amount of output can make it block.

#include <string>
#include <vector>

namespace util_testing {

struct RunResult {
    int exitCode;  // -1 when the program did not exit by itself (killed by a signal, or stopped)
    std::string out, err;
    bool timedOut = false;  // stopped for running longer than the time limit
};

// Runs `program` (looked up in PATH when the name has no slash) with the arguments and waits
// for it. `env` changes the inherited environment: "NAME=value" sets a variable, a bare "NAME"
// removes it. `input` is all of standard input. An empty `dir` keeps the working folder. A
// program that cannot be started answers exit code 127. With a `limitSeconds` above 0, a
// program still running after that long is killed (POSIX: SIGKILL; Windows: TerminateProcess)
// and answers exit code -1 with timedOut set, so a hang shows as a result, not a stuck test.
// Windows: arguments are UTF-8 with one extension: a surrogate code point in its three-byte
// form ("\xED\xA0\x80" for U+D800) passes as that one UTF-16 unit, so a test can hand a
// program an argument that is not valid UTF-16.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env = {}, const std::string& input = "",
                     const std::string& dir = "", int limitSeconds = 0);

// True when `text` is `pattern`, each '*' in the pattern standing for any run of characters.
bool MatchesGlob(const std::string& text, const std::string& pattern);

}  // namespace util_testing

#ifdef UTIL_TEST_CLI  // the unit-test program knows where build/bin/tessmar-util lies
#include <gmock/gmock.h>

namespace util_testing {

MATCHER_P(Glob, pattern, "is \"" + std::string(pattern) + "\" ('*' standing for any text)") {
    return MatchesGlob(arg, pattern);
}

// One row of a command's table: what the user types and what the program must answer. An
// expected output is a string (exactly that), Glob("...") or any other string matcher.
struct CliCase {
    std::vector<std::string> args;
    int exitCode;
    testing::Matcher<const std::string&> out = testing::_;
    testing::Matcher<const std::string&> err = testing::_;
    std::vector<std::string> env = {};  // as for RunProgram
    std::string input = "";
};

// Runs the row with tessmar-util (or a copy of it) in the folder `dir` and checks the answer;
// a failure names the row. A run still going after a minute is stopped and fails the row.
inline RunResult ExpectCli(const CliCase& row, const std::string& dir = "",
                           const std::string& program = UTIL_TEST_CLI) {
    SCOPED_TRACE(testing::PrintToString(row.args) + " with " + testing::PrintToString(row.env));
    RunResult run = RunProgram(program, row.args, row.env, row.input, dir, 60);
    EXPECT_FALSE(run.timedOut) << "still running after a minute";
    EXPECT_EQ(run.exitCode, row.exitCode) << "stdout:\n" << run.out << "stderr:\n" << run.err;
    EXPECT_THAT(run.out, row.out) << "stdout";
    EXPECT_THAT(run.err, row.err) << "stderr";
    return run;
}

// Runs every row of a table in the folder `dir` (with `program`, as ExpectCli).
inline void ExpectCliRows(const std::vector<CliCase>& rows, const std::string& dir = "",
                          const std::string& program = UTIL_TEST_CLI) {
    for (const CliCase& row : rows) ExpectCli(row, dir, program);
}

}  // namespace util_testing
#endif  // UTIL_TEST_CLI

#endif  // UTIL_TESTING_RUN_CLI_H
