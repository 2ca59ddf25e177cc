// End to end: tessmar-util run from the build folder, where the sample install lies beside it.

#include <filesystem>

#include "util/testing/platform_constants.h"
#include "util/testing/run_cli.h"
#include "util/testing/scratch_dir.h"

using namespace testing;
using namespace util_testing;

TEST(CliEnvTest, PathsAndEnvAnswerLikeTheHost) {
    const std::string dir = std::filesystem::path(UTIL_TEST_CLI).parent_path().string();
    const std::string sep(1, kSeparator);
    // A path with the platform's separators as a JSON string's content (backslashes doubled).
    auto J = [](const std::string& path) {
        std::string json;
        for (char ch : Native(path)) json += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
        return json;
    };
    const std::string jdir = J(dir);
    // `paths` showing the files of one language. No user language settings leak in from the
    // machine running the tests.
    auto paths = [&](std::vector<std::string> env, std::vector<std::string> args,
                     const std::string& lang) {
        const std::string loc = "\n* " + dir + sep + "locales" + sep + lang;
        env.insert(env.begin(), {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"});
        return CliCase{
            args, 0,
            Glob("*language" + std::string(20, ' ') + lang + loc + loc + sep + "ResourceRes.dll" +
                 loc + sep + "TESSMAR.chm" + loc + sep + "license.txt\n* " + dir + sep +
                 "dawnquill.txt" + loc + sep + "dawnquill.txt\n*"),
            _, env};
    };
    // The user's languages come from these variables on POSIX only (Windows asks the system).
    if (kLocaleVariablesChooseLanguages)
        ExpectCliRows({
            paths({}, {"paths"}, "en-US"),  // no OS language: the default language
            paths({"LANGUAGE=de_DE:ja_JP:ja"}, {"paths"}, "ja"),
            paths({"LANG=zh_CN.UTF-8"}, {"paths"}, "zh-Hans"),
            paths({"LANG=zh_TW.UTF-8"}, {"paths"}, "en-US"),              // no zh-Hant folder
            paths({"LC_ALL=C", "LANG=ja_JP.UTF-8"}, {"paths"}, "en-US"),  // C: no language
            paths({"LC_ALL=", "LC_MESSAGES=ja_JP", "LANG=zh_CN"}, {"paths"}, "ja"),
            paths({"LANGUAGE=C", "LANG=ja_JP.UTF-8"}, {"paths"}, "ja"),  // nothing usable
        });
    ExpectCliRows({
        paths({}, {"paths", "--lang", "ja"}, "ja"),
        paths({}, {"paths", "--lang=ZH-hans"}, "ZH-hans"),
        paths({}, {"paths", "--lang", "fr-FR"}, "en-US"),  // no folder: the default language
        {{"env"},
         0,
         AllOf(AnyOf(Glob("*USB support *0\n*"), Glob("*USB support *1\n*")),
               AnyOf(Glob("*IPv6 support *0\n*"), Glob("*IPv6 support *1\n*")),
               Glob("* " UTIL_TEST_CLI "\n* " + dir + "\n* " + dir + sep + "locales\n* " + dir +
                    sep + "Tessmar.ini\n*"))},
        {{"paths", "--json", "--lang", "ja"},
         0,
         "{\"language\":\"ja\",\"paths\":{\"PATH_LOCALE_DIR\":\"" + jdir + J("/locales/ja") +
             "\",\"PATH_RESOURCE_DLL\":\"" + jdir + J("/locales/ja/ResourceRes.dll") +
             "\",\"PATH_HELP_FILE\":\"" + jdir + J("/locales/ja/TESSMAR.chm") +
             "\",\"PATH_LICENSE_FILE\":\"" + jdir + J("/locales/ja/license.txt") +
             "\",\"PATH_EXE_DAWNQUILL_FILE\":\"" + jdir + J("/dawnquill.txt") +
             "\",\"PATH_LOCALE_DAWNQUILL_FILE\":\"" + jdir + J("/locales/ja/dawnquill.txt") +
             "\"}}\n"},
        {{"env", "--json"},
         0,
         Glob("{\"usb_support\":*,\"ipv6_support\":*,\"executable\":\"" + J(UTIL_TEST_CLI) +
              "\",\"executable_folder\":\"" + jdir + "\",\"locales_folder\":\"" + jdir +
              J("/locales") + "\",\"settings_file\":\"" + jdir + J("/Tessmar.ini") + "\"}\n")},
        {{"paths", "extra"}, 2},
        {{"env", "--lang", "ja"}, 2},
    });
    // A copy of the program in a folder without the install tree finds its paths there, not
    // beside the original, and reports that no language can be selected.
    ScratchDir elsewhere;
    const std::string copy =
        (elsewhere.path() / (std::string("tessmar-util") + kExeSuffix)).string();
    std::filesystem::copy_file(UTIL_TEST_CLI, copy);
    // The program's DLL (where there is one) goes with it.
    const auto library = std::filesystem::path(UTIL_TEST_CLI).parent_path() / "Util.dll";
    if (std::filesystem::exists(library))
        std::filesystem::copy_file(library, elsewhere.path() / "Util.dll");
    ExpectCli({{"env"}, 0, Glob("* " + elsewhere.path().string() + sep + "Tessmar.ini\n*")}, "",
              copy);
    ExpectCli({{"paths", "--lang", "ja"}, 1, _, HasSubstr("no UI language could be selected")}, "",
              copy);
}
