// End to end: tessmar-util run from the build folder, where the sample install lies beside it.

#include <filesystem>
#include <regex>

#include "util/testing/platform_constants.h"
#include "util/testing/run_cli.h"
#include "util/testing/scratch_dir.h"

using namespace testing;
using namespace util_testing;
namespace fs = std::filesystem;

TEST(CliEnvTest, PathsAndEnvAnswerLikeTheHost) {
    const std::string dir = fs::path(UTIL_TEST_CLI).parent_path().string();
    // A path below `dir` with the platform's separators; a path as a JSON string's content
    // (backslashes doubled).
    auto N = [&](const std::string& below) { return dir + Native(below); };
    const std::regex backslash(R"(\\)");
    auto J = [&](std::string path) { return std::regex_replace(Native(path), backslash, R"(\\)"); };
    // The paths of a language below `dir`, in the order shown, each with its name.
    auto files = [](const std::string& lang) {
        const std::string l = "/locales/" + lang;
        return std::vector<std::pair<std::string, std::string>>{
            {"LOCALE_DIR", l},
            {"RESOURCE_DLL", l + "/ResourceRes.dll"},
            {"HELP_FILE", l + "/TESSMAR.chm"},
            {"LICENSE_FILE", l + "/license.txt"},
            {"EXE_DAWNQUILL_FILE", "/dawnquill.txt"},
            {"LOCALE_DAWNQUILL_FILE", l + "/dawnquill.txt"}};
    };
    // `paths` showing the files of one language. No user language settings leak in from the
    // machine running the tests.
    auto paths = [&](const std::string& lang, std::vector<std::string> env = {},
                     std::vector<std::string> args = {"paths"}) {
        std::string shown = "*language" + std::string(20, ' ') + lang;
        for (const auto& [name, below] : files(lang)) shown += "\nPATH_" + name + " *" + N(below);
        env.insert(env.begin(), {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"});
        return CliCase{args, 0, Glob(shown + "\n*"), _, env};
    };
    std::string json = "{\"language\":\"ja\",\"paths\":{";
    for (const auto& [name, below] : files("ja"))
        json += "\"PATH_" + name + "\":\"" + J(N(below)) + "\",";
    json.back() = '}';
    // The user's languages come from these variables on POSIX only (Windows asks the system).
    // Among them: no OS language gives the default language; LC_ALL=C means no language; an
    // empty variable counts as unset; LANGUAGE=C holds nothing usable. Which language a
    // locale name stands for is the library's rule, proven by its own tests.
    if (kLocaleVariablesChooseLanguages)
        ExpectCliRows({paths("en-US"), paths("ja", {"LANGUAGE=de_DE:ja_JP:ja"}),
                       paths("en-US", {"LC_ALL=C", "LANG=ja_JP.UTF-8"}),
                       paths("ja", {"LC_ALL=", "LC_MESSAGES=ja_JP", "LANG=zh_CN"}),
                       paths("ja", {"LANGUAGE=C", "LANG=ja_JP.UTF-8"})});
    ExpectCliRows(
        {paths("ja", {}, {"paths", "--lang", "ja"}),
         {{"paths", "extra"}, 2},
         paths("ZH-hans", {}, {"paths", "--lang=ZH-hans"}),
         {{"env", "--lang", "ja"}, 2},
         {{"env"},
          0,
          AllOf(AnyOf(Glob("*USB support *0\n*"), Glob("*USB support *1\n*")),
                AnyOf(Glob("*IPv6 support *0\n*"), Glob("*IPv6 support *1\n*")),
                Glob("* " UTIL_TEST_CLI "\n* " + dir + "\n* " + N("/locales") + "\n* " +
                     N("/Tessmar.ini") + "\n*"))},
         {{"env", "--json"},
          0,
          Glob("{\"usb_support\":*,\"ipv6_support\":*,\"executable\":\"" + J(UTIL_TEST_CLI) +
               "\",\"executable_folder\":\"" + J(dir) + "\",\"locales_folder\":\"" +
               J(N("/locales")) + "\",\"settings_file\":\"" + J(N("/Tessmar.ini")) + "\"}\n")},
         {{"paths", "--json", "--lang", "ja"}, 0, json + "}\n"}});
    // A copy of the program (with its DLL, where there is one) in a folder without the install
    // tree finds its paths there, not beside the original, and reports that no language can be
    // selected.
    ScratchDir elsewhere;
    const std::string copy = (elsewhere.path() / "tessmar-util").string() + kExeSuffix;
    fs::copy_file(UTIL_TEST_CLI, copy);
    if (fs::exists(N("/Util.dll"))) fs::copy_file(N("/Util.dll"), elsewhere.path() / "Util.dll");
    ExpectCliRows(
        {{{"env"}, 0, Glob("* " + (elsewhere.path() / "Tessmar.ini").string() + "\n*")},
         {{"paths", "--lang", "ja"}, 1, _, HasSubstr("no UI language could be selected")}},
        "", copy);
}
