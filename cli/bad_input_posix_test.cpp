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
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
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
    static const std::regex failure("tessmar-util: [^\n]+\n"),
        usage("tessmar-util: [^\n]+\n(usage:\n|Try )[\\s\\S]*");
    if (run.exitCode == 0 || (run.exitCode == 1 && exitIsAnswer && run.err.empty()))
        EXPECT_LE(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    else
        EXPECT_TRUE(std::regex_match(run.err, run.exitCode == 1 ? failure : usage)) << run.err;
}

class CliBadInput : public ::testing::Test {
  protected:
    void SetUp() override {
        std::mt19937 random(7);
        std::string binary(4096, '\0');
        for (char& byte : binary) byte = static_cast<char>(random());
        scratch_.WriteFile("binary.bin", binary);
        std::ofstream big(scratch_.path() / "big.bin", std::ios::binary);
        for (size_t written = 0; written < BigFileBytes(); written += binary.size())
            big.write(binary.data(), static_cast<std::streamsize>(binary.size()));
    }
    // The words of a command line, with %BIN, %BIG, %DIR, %MISSING and %OUT standing for a
    // binary file, the large file, a folder, a missing file and an output file in the scratch
    // folder, and the names in `more` for their values.
    Args Expand(const std::string& line,
                std::vector<std::pair<std::string, std::string>> more = {}) {
        const std::string dir = scratch_.path().string();
        more.insert(more.end(), {{"%BIN", dir + "/binary.bin"},
                                 {"%BIG", dir + "/big.bin"},
                                 {"%DIR", dir},
                                 {"%MISSING", dir + "/missing.bin"},
                                 {"%OUT", dir + "/out.bin"}});
        Args args;
        std::istringstream words(line);
        for (std::string word; words >> word; args.push_back(word))
            for (const auto& [name, value] : more)
                for (size_t at; (at = word.find(name)) != std::string::npos;)
                    word.replace(at, name.size(), value);
        return args;
    }
    util_testing::ScratchDir scratch_;
};

TEST_F(CliBadInput, MissingArgumentsAndUnknownOptionsAreUsageErrors) {
    auto usage_errors = [this](std::initializer_list<const char*> lines,
                               const std::string& suffix = "") {
        for (const char* line : lines) ExpectClearAnswer(Expand(line + suffix), {2});
    };
    usage_errors({"help nonsense", "base64", "base64 encode --text", "base64 sideways", "desc",
                  "desc f --offset", "desc f --offset x", "encoding", "ini", "ini f", "ip",
                  "ip check", "ip same a", "ip cut"});
    usage_errors({"ip bond x", "ip scope", "log", "log --dir", "log show", "log download",
                  "paths --lang", "size", "stamp", "stamp a b", "text", "window", "demo x",
                  "nonsense"});
    // An unknown option after an otherwise complete command line.
    usage_errors({"base64 encode --text x", "desc %BIN", "encoding %BIN", "env", "ini %BIN S",
                  "ip check 1.2.3.4", "log --dir %DIR x", "log show %BIN", "paths", "size %BIN",
                  "stamp %BIN %OUT ID", "tempdir", "text %BIN", "window x"},
                 " --no-such-option");
}

TEST_F(CliBadInput, FilesThatAreNotWhatTheCommandExpects) {
    // Exit 1 for a folder and a missing file; a binary or a large file may also be acceptable
    // (exit 0). One value from a settings file that cannot be read is the empty default, as the
    // profile API answers it.
    for (const char* command :
         {"desc %FILE", "encoding %FILE", "ini %FILE S", "ini %FILE S K", "log show %FILE",
          "size %FILE", "stamp %FILE %OUT ID", "text %FILE", "text %FILE --dos"})
        for (const auto& [file, allowed] : std::vector<std::pair<std::string, std::set<int>>>{
                 {"%DIR", {1}}, {"%MISSING", {1}}, {"%BIN", {0, 1}}, {"%BIG", {0, 1}}}) {
            const bool defaultValue = std::string(command) == "ini %FILE S K";
            ExpectClearAnswer(Expand(command, {{"%FILE", file}}),
                              defaultValue ? std::set<int>{0} : allowed);
        }
    // A destination that is a folder, a log folder that is a file (the temporary folder takes it).
    ExpectClearAnswer(Expand("stamp %BIN %DIR ID"), {1});
    ExpectClearAnswer(Expand("log --dir %BIN x"), {0, 1});
    // Binary and large input on standard input.
    ExpectClearAnswer({"base64", "encode"}, {0}, util_testing::ReadFileBytes(Expand("%BIG")[0]));
    ExpectClearAnswer({"base64", "decode"}, {0, 1}, util_testing::ReadFileBytes(Expand("%BIN")[0]));
}

TEST_F(CliBadInput, ArgumentsThatAreNotValidUtf8) {
    for (const std::string bad : {"\xFF\xFE", "a\xC3", "\xED\xA0\x80z", "\xC0\xAF"})
        for (const char* line :
             {"base64 encode --text %BAD", "base64 decode --text %BAD", "desc %BAD",
              "encoding %BAD", "ini %BAD %BAD", "ip check %BAD", "ip same %BAD %BAD", "ip cut %BAD",
              "ip bond %BAD %BAD", "ip scope %BAD", "log --dir %DIR %BAD", "log --dir %DIR/%BAD x",
              "log show %BAD", "paths --lang %BAD", "size %BAD", "stamp %BIN %DIR/%BAD %BAD",
              "text %BAD", "window %BAD", "%BAD"})
            ExpectClearAnswer(Expand(line, {{"%BAD", bad}}), {0, 1, 2});
}

}  // namespace
