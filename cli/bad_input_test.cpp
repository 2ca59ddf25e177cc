// Every command on bad input: missing arguments, unknown options, a folder where a file is
// expected, a missing file, a binary file, a large file, arguments that are not valid text, and
// each platform's own kinds of file that are not files (POSIX: FIFOs and devices; Windows:
// reserved device names, names with characters Windows forbids, a file another program holds
// open). The program must answer with exit 2 (usage) or 1 (failure) and one clear line on
// standard error, or succeed where the input is acceptable after all; never crash, never hang:
// each run is stopped after a minute, which shows as a failed case.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <utility>

#include "util/files/file_access.h"
#include "util/testing/run_cli.h"
#include "util/testing/scratch_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

// Replacements for parts of a command line's words.
using Replacements = std::vector<std::pair<std::string, std::string>>;
// A file argument and the exit codes allowed for it.
using FileRows = std::vector<std::pair<std::string, std::set<int>>>;

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

struct CliBadInput : ::testing::Test {
    // A random binary file and the large file made of it: 4 MiB here, so that the suite stays
    // quick; `make reliability` runs this test with UTIL_CLI_BIG_FILE_MB=100.
    void SetUp() override {
        const char* megabytes = std::getenv("UTIL_CLI_BIG_FILE_MB");
        const long mb = megabytes ? std::strtol(megabytes, nullptr, 10) : 0;
        const size_t big_bytes = static_cast<size_t>(mb > 0 ? mb : 4) << 20;
        std::string binary(4096, '\0');
        std::generate(binary.begin(), binary.end(), std::mt19937(7));  // the same bytes each run
        scratch_.WriteFile("binary.bin", binary);
        std::ofstream big(scratch_.path() / "big.bin", std::ios::binary);
        for (size_t written = 0; written < big_bytes; written += binary.size())
            big.write(binary.data(), static_cast<std::streamsize>(binary.size()));
#ifndef _WIN32
        // A FIFO nobody writes to, also as the log of a folder.
        std::filesystem::create_directory(scratch_.path() / "fifolog");
        ASSERT_EQ(::mkfifo((scratch_.path() / "fifo").c_str(), 0600), 0);
        ASSERT_EQ(::mkfifo((scratch_.path() / "fifolog" / "Tessmar.log").c_str(), 0600), 0);
#endif
    }

    // Runs a command line (its words; %BIN, %BIG, %DIR, %MISSING and %OUT stand for a binary
    // file, the large file, a folder, a missing file and an output file in the scratch folder,
    // the names in `more` for their values), stopped after a minute so that a hang shows as a
    // failure, not as a stuck suite. Then checks the answer's shape: usage errors and failures
    // name the problem on the first line of standard error ("tessmar-util: ..."); only a usage
    // error may follow it with the usage text. A success may carry one line of note. Commands
    // whose exit status is their answer (`ip check`, `ip same`, `ip scope`: 1 for "no") may
    // exit 1 with the answer on standard output and nothing on error.
    void Check(const std::string& line, const std::set<int>& allowed, Replacements more = {},
               const std::string& input = "") {
        const std::string dir = scratch_.path().string();
        more.insert(more.end(), {{"%BIN", dir + "/binary.bin"},
                                 {"%BIG", dir + "/big.bin"},
                                 {"%DIR", dir},
                                 {"%FIFO", dir + "/fifo"},
                                 {"%MISSING", dir + "/missing.bin"},
                                 {"%OUT", dir + "/out.bin"}});
        std::vector<std::string> args;
        std::istringstream words(line);
        for (std::string word; words >> word; args.push_back(word))
            for (const auto& [name, value] : more)
                for (size_t at; (at = word.find(name)) != std::string::npos;)
                    word.replace(at, name.size(), value);
        SCOPED_TRACE(testing::PrintToString(args));
        const auto run = util_testing::RunProgram(UTIL_TEST_CLI, args, {"TMPDIR"}, input, "", 60);
        ASSERT_FALSE(run.timedOut) << "still running after a minute";
        EXPECT_TRUE(allowed.count(run.exitCode)) << "exit " << run.exitCode << "\n" << run.err;
        static const std::regex exit_is_answer("ip (check|same|scope)( .*)?"),
            failure("tessmar-util: [^\n]+\n"),
            usage("tessmar-util: [^\n]+\n(usage:\n|Try )[\\s\\S]*");
        if (run.exitCode == 0 ||
            (run.exitCode == 1 && std::regex_match(line, exit_is_answer) && run.err.empty()))
            EXPECT_LE(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        else
            EXPECT_TRUE(std::regex_match(run.err, run.exitCode == 1 ? failure : usage)) << run.err;
    }
    util_testing::ScratchDir scratch_;
};

TEST_F(CliBadInput, MissingArgumentsAndUnknownOptionsAreUsageErrors) {
    // A missing command or subcommand, an unknown one, an option without its value or with one
    // of the wrong kind, and commands that need an option (`log` its folder).
    for (const char* line : {"nonsense", "help nonsense", "demo x", "base64", "base64 sideways",
                             "desc f --offset x", "ip", "log", "log download", "paths --lang"})
        Check(line, {2});
    // Every command's complete line: each must take all it reads, so an unknown option after
    // it is refused, and each must require its last argument (or an option's value), so the
    // line without it is refused too. (`env`, `paths` and `tempdir` take no argument; their
    // own tests add an unknown option.)
    for (const std::string line :
         {"base64 encode --text x", "desc %BIN", "encoding %BIN", "ini %BIN S", "ip check 1.2.3.4",
          "ip same a b", "ip cut x", "ip bond x 64", "ip scope x", "log --dir %DIR x",
          "log show %BIN", "size %BIN", "stamp %BIN %OUT ID", "text %BIN", "window x"}) {
        Check(line + " --no-such-option", {2});
        Check(line.substr(0, line.rfind(' ')), {2});
    }
}

TEST_F(CliBadInput, FilesThatAreNotWhatTheCommandExpects) {
    // Exit 1 for a folder, a missing file and anything that is not a file (each at once); a
    // binary or a large file may also be acceptable (exit 0). One value from a settings file
    // that cannot be read is a missing key (exit 1). The size of a device is its size as the
    // system reports it.
    FileRows files = {{"%DIR", {1}}, {"%MISSING", {1}}, {"%BIN", {0, 1}}, {"%BIG", {0, 1}}};
    if (!kWindows) {
        // A FIFO nobody writes to, and a device that never ends.
        files.insert(files.end(), {{"%FIFO", {1}}, {"/dev/zero", {1}}});
    } else {
        // Reserved device names (in any folder, with any extension, they name the device), and
        // names Windows forbids: wildcards, redirection characters, a colon inside the name, a
        // drive that does not exist.
        files.insert(files.end(), {{"NUL", {1}},
                                   {"%DIR\\CON", {1}},
                                   {"%DIR/aux.txt", {1}},
                                   {"%DIR\\a<b", {1}},
                                   {"%DIR/a?b", {1}},
                                   {"%DIR/a*", {1}},
                                   {"%DIR\\a|b", {1}},
                                   {"%DIR\\a:b:c", {1}},
                                   {"x:", {1}},
                                   {"q:\\none.bin", {1}}});
    }
    const std::set<std::string> devices = {"%FIFO", "/dev/zero", "NUL", "%DIR\\CON",
                                           "%DIR/aux.txt"};
    for (const std::string cmd :
         {"desc %FILE", "encoding %FILE", "ini %FILE S", "ini %FILE S K", "log show %FILE",
          "size %FILE", "stamp %FILE %OUT ID", "text %FILE", "text %FILE --dos"})
        for (const auto& [file, allowed] : files) {
            Check(cmd,
                  cmd == "ini %FILE S K"                       ? std::set<int>{1}
                  : cmd == "size %FILE" && devices.count(file) ? std::set<int>{0, 1}
                                                               : allowed,
                  {{"%FILE", file}});
        }
    // A destination that is a folder, a log folder that is a file (the temporary folder takes it).
    Check("stamp %BIN %DIR ID", {1});
    Check("log --dir %BIN x", {0, 1});
    if (!kWindows) Check("log --dir %DIR/fifolog x", {0});  // the log goes to the temporary folder
    // Binary and large input on standard input.
    Check("base64 encode", {0}, {}, util_testing::ReadFileBytes(scratch_.path() / "big.bin"));
    Check("base64 decode", {0, 1}, {}, util_testing::ReadFileBytes(scratch_.path() / "binary.bin"));
}

// Destinations that cannot take what the command writes: a device, a name Windows forbids, a
// file another program holds open for writing. `stamp` refuses them; the log goes to the
// temporary folder instead and says so.
TEST_F(CliBadInput, DestinationsThatCannotBeWritten) {
    if (!kWindows) {
        Check("stamp %BIN /dev/null ID", {1});
        Check("stamp %BIN %FIFO ID", {1});
        return;
    }
    namespace fs = std::filesystem;
    const fs::path held = scratch_.WriteFile("held.bin", "held open");
    fs::create_directory(scratch_.path() / "heldlog");
    fs::create_directory(scratch_.path() / "temp");
    scratch_.WriteFile("heldlog/Tessmar.log", "");
    // Held the way a host holds its files: open for writing, others may only read.
    CFileAccess files;
    FileHandle holds[] = {files.FA_OpenFile(scratch_.Wide("held.bin"), FM_Append),
                          files.FA_OpenFile(scratch_.Wide("heldlog/Tessmar.log"), FM_Append)};
    ASSERT_TRUE(holds[0] && holds[1]);
    for (const char* destination :
         {"NUL", "%DIR\\CON", "%DIR\\com1.bin", "%DIR\\a<b", "%DIR\\a|b", "%DIR/a*", "%HELD"})
        Check(std::string("stamp %BIN ") + destination + " ID", {1}, {{"%HELD", held.string()}});
    // Reading a held file may read what is there or refuse it.
    for (const char* cmd : {"desc %HELD", "size %HELD", "log show %HELD", "ini %HELD S"})
        Check(cmd, {0, 1}, {{"%HELD", held.string()}});
    for (const char* dir : {"%DIR\\heldlog", "%DIR\\a<b", "NUL", "%DIR\\CON"})
        util_testing::ExpectCli(
            {{"log", "--dir", std::regex_replace(dir, std::regex("%DIR"), scratch_.path().string()),
              "--append", "x"},
             0,
             "",
             util_testing::Glob("tessmar-util: * cannot take the log; it is in the temporary "
                                "folder\n"),
             {"TMP=" + (scratch_.path() / "temp").string()}});
    for (FileHandle hold : holds) files.FA_CloseFile(hold);
    EXPECT_EQ(util_testing::ReadFileBytes(held), "held open");  // not written
}

#ifndef _WIN32
// `log --append` says where the log went when the folder could not take it: a link at
// "Tessmar.log" (even to a file that exists: the log never opens through a link) or a FIFO
// there sends it to the temporary folder. A fresh log moves either aside to "Tessmar.bak" and
// takes the folder, so it gets no note, nor does a folder that took the log.
TEST_F(CliBadInput, LogNotesTheTemporaryFolderWheneverItIsUsed) {
    namespace fs = std::filesystem;
    const fs::path dir = scratch_.path();
    fs::create_directories(dir / "link" / "temp");
    fs::create_directories(dir / "plain");
    fs::create_symlink(dir / "binary.bin", dir / "link" / "Tessmar.log");
    const std::string note = "tessmar-util: * cannot take the log; it is in the temporary folder\n";
    for (const auto& [folder, noted] : std::vector<std::pair<std::string, bool>>{
             {"link", true}, {"fifolog", true}, {"plain", false}})
        for (const char* append : {"--append", "--debug"}) {
            util_testing::ExpectCli({{"log", "--dir", (dir / folder).string(), append, "x"},
                                     0,
                                     testing::_,
                                     noted && append[2] == 'a'
                                         ? util_testing::Glob(note)
                                         : testing::Matcher<const std::string&>(""),
                                     {"TMPDIR=" + (dir / "link" / "temp").string()}});
        }
    EXPECT_EQ(util_testing::ReadFileBytes(dir / "binary.bin").size(), 4096u);  // not written
}
#endif

// Arguments that are not valid text where the system hands them over: bytes that are not UTF-8
// on POSIX, UTF-16 with unpaired surrogates on Windows (written here in their three-byte form,
// which the test runner passes on as the lone unit).
TEST_F(CliBadInput, ArgumentsThatAreNotValidText) {
    const std::vector<std::string> bad =
        kWindows ? std::vector<std::string>{"\xED\xA0\x80", "a\xED\xB0\x80",
                                            "\xED\xB0\x80\xED\xA0\x80", "x\xED\xA0\x80.bin"}
                 : std::vector<std::string>{"\xFF\xFE", "a\xC3", "\xED\xA0\x80z", "\xC0\xAF"};
    for (const std::string& text : bad)
        for (const char* line :
             {"base64 encode --text %BAD", "base64 decode --text %BAD", "desc %BAD",
              "encoding %BAD", "ini %BAD %BAD", "ip check %BAD", "ip same %BAD %BAD", "ip cut %BAD",
              "ip bond %BAD %BAD", "ip scope %BAD", "log --dir %DIR %BAD", "log --dir %DIR/%BAD x",
              "log show %BAD", "paths --lang %BAD", "size %BAD", "stamp %BIN %DIR/%BAD %BAD",
              "text %BAD", "window %BAD", "%BAD"})
            Check(line, {0, 1, 2}, {{"%BAD", text}});
    // The three-byte forms reach the program as units: a high and a low one make U+10000.
    if (kWindows)
        util_testing::ExpectCli(
            {{"base64", "encode", "--text", "\xED\xA0\x80\xED\xB0\x80"}, 0, "8JCAgA==\n"});
}

}  // namespace
