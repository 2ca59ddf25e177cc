// End to end: tessmar-util run from the build folder, where the sample install lies beside it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "util/testing/scratch_dir.h"

namespace {

struct CliRun {
    int status;
    std::string output;
};

// Runs the program with the given environment prefix and arguments; captures stdout and stderr.
CliRun RunCli(const std::string& environment, const std::string& args,
              const std::string& program = UTIL_TEST_CLI) {
    util_testing::ScratchDir dir;
    auto out = dir.path() / "out.txt";
    std::string command =
        "env " + environment + " '" + program + "' " + args + " >'" + out.string() + "' 2>&1";
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, util_testing::ReadFileBytes(out)};
}

std::string InstallDir() {
    return std::filesystem::path(UTIL_TEST_CLI).parent_path().string();
}

bool Contains(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
}

TEST(CliEnvTest, PathsSelectsTheLanguageLikeTheHost) {
    // No user language settings leak in from the machine running the tests.
    const std::string neutral = "-u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG";
    struct Case {
        std::string environment, args, language;
    } cases[] = {
        {neutral, "paths --lang ja", "ja"},
        {neutral, "paths --lang=ZH-hans", "ZH-hans"},
        {neutral, "paths --lang fr-FR", "en-US"},  // no folder: the default language
        {neutral, "paths", "en-US"},               // no OS language: the default language
        {neutral + " LANGUAGE=de_DE:ja_JP:ja", "paths", "ja"},
        {neutral + " LANG=zh_CN.UTF-8", "paths", "zh-Hans"},
        {neutral + " LANG=zh_TW.UTF-8", "paths", "en-US"},           // no zh-Hant folder
        {neutral + " LC_ALL=C LANG=ja_JP.UTF-8", "paths", "en-US"},  // C: no language
        {neutral + " LC_ALL= LC_MESSAGES=ja_JP LANG=zh_CN", "paths", "ja"},
        {neutral + " LANGUAGE=C LANG=ja_JP.UTF-8", "paths", "ja"},  // nothing usable in the list
    };
    const std::string dir = InstallDir();
    for (const Case& c : cases) {
        CliRun run = RunCli(c.environment, c.args);
        SCOPED_TRACE(c.environment + " " + c.args + "\n" + run.output);
        ASSERT_EQ(run.status, 0);
        std::string locale = dir + "/locales/" + c.language;
        EXPECT_TRUE(Contains(run.output, "language" + std::string(20, ' ') + c.language + "\n"));
        EXPECT_TRUE(Contains(run.output, " " + locale + "\n"));
        EXPECT_TRUE(Contains(run.output, " " + locale + "/ResourceRes.dll\n"));
        EXPECT_TRUE(Contains(run.output, " " + locale + "/TESSMAR.chm\n"));
        EXPECT_TRUE(Contains(run.output, " " + locale + "/license.txt\n"));
        EXPECT_TRUE(Contains(run.output, " " + dir + "/dawnquill.txt\n"));
        EXPECT_TRUE(Contains(run.output, " " + locale + "/dawnquill.txt\n"));
    }
}

TEST(CliEnvTest, EnvShowsTheProgramsOwnPaths) {
    CliRun run = RunCli("", "env");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string dir = InstallDir();
    EXPECT_TRUE(Contains(run.output, " " + std::string(UTIL_TEST_CLI) + "\n")) << run.output;
    EXPECT_TRUE(Contains(run.output, " " + dir + "\n")) << run.output;
    EXPECT_TRUE(Contains(run.output, " " + dir + "/locales\n")) << run.output;
    EXPECT_TRUE(Contains(run.output, " " + dir + "/Tessmar.ini\n")) << run.output;
    for (const char* line : {"USB support", "IPv6 support"}) {
        size_t at = run.output.find(line);
        ASSERT_NE(at, std::string::npos) << run.output;
        char answer = run.output[run.output.find_first_not_of(' ', at + std::string(line).size())];
        EXPECT_TRUE(answer == '0' || answer == '1') << run.output;
    }
}

// A copy of the program in a folder without the install tree finds its paths there, not beside
// the original and not in the working folder, and reports that no language can be selected.
TEST(CliEnvTest, CopyElsewhereLooksBesideItself) {
    util_testing::ScratchDir dir;
    auto copy = dir.path() / "tessmar-util";
    std::filesystem::copy_file(UTIL_TEST_CLI, copy);
    CliRun env = RunCli("", "env", copy.string());
    ASSERT_EQ(env.status, 0) << env.output;
    EXPECT_TRUE(Contains(env.output, " " + dir.path().string() + "/Tessmar.ini\n")) << env.output;
    CliRun paths = RunCli("", "paths --lang ja", copy.string());
    EXPECT_EQ(paths.status, 1) << paths.output;
    EXPECT_TRUE(Contains(paths.output, "no UI language could be selected")) << paths.output;
}

TEST(CliEnvTest, UsageErrors) {
    for (const char* args : {"paths --lang", "paths extra", "env --lang ja", "paths --bogus"}) {
        CliRun run = RunCli("", args);
        EXPECT_EQ(run.status, 2) << args << "\n" << run.output;
    }
}

}  // namespace
