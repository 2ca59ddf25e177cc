// End to end: tessmar-util run from the build folder, where the sample install lies beside it.

#include <filesystem>

#include "util/testing/run_cli.h"
#include "util/testing/scratch_dir.h"

using namespace testing;
using namespace util_testing;

TEST(CliEnvTest, PathsAndEnvAnswerLikeTheHost) {
    const std::string dir = std::filesystem::path(UTIL_TEST_CLI).parent_path().string();
    // `paths` showing the files of one language. No user language settings leak in from the
    // machine running the tests.
    auto paths = [&](std::vector<std::string> env, std::vector<std::string> args,
                     const std::string& lang) {
        const std::string loc = "\n* " + dir + "/locales/" + lang;
        env.insert(env.begin(), {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"});
        return CliCase{args, 0,
                       Glob("*language" + std::string(20, ' ') + lang + loc + loc +
                            "/ResourceRes.dll" + loc + "/TESSMAR.chm" + loc + "/license.txt\n* " +
                            dir + "/dawnquill.txt" + loc + "/dawnquill.txt\n*"),
                       _, env};
    };
    ExpectCliRows({
        paths({}, {"paths", "--lang", "ja"}, "ja"),
        paths({}, {"paths", "--lang=ZH-hans"}, "ZH-hans"),
        paths({}, {"paths", "--lang", "fr-FR"}, "en-US"),  // no folder: the default language
        paths({}, {"paths"}, "en-US"),                     // no OS language: the default language
        paths({"LANGUAGE=de_DE:ja_JP:ja"}, {"paths"}, "ja"),
        paths({"LANG=zh_CN.UTF-8"}, {"paths"}, "zh-Hans"),
        paths({"LANG=zh_TW.UTF-8"}, {"paths"}, "en-US"),              // no zh-Hant folder
        paths({"LC_ALL=C", "LANG=ja_JP.UTF-8"}, {"paths"}, "en-US"),  // C: no language
        paths({"LC_ALL=", "LC_MESSAGES=ja_JP", "LANG=zh_CN"}, {"paths"}, "ja"),
        paths({"LANGUAGE=C", "LANG=ja_JP.UTF-8"}, {"paths"}, "ja"),  // nothing usable in the list
        {{"env"},
         0,
         AllOf(ContainsRegex("USB support +[01]\n"), ContainsRegex("IPv6 support +[01]\n"),
               Glob("* " UTIL_TEST_CLI "\n* " + dir + "\n* " + dir + "/locales\n* " + dir +
                    "/Tessmar.ini\n*"))},
        {{"paths", "--json", "--lang", "ja"},
         0,
         "{\"language\":\"ja\",\"paths\":{\"PATH_LOCALE_DIR\":\"" + dir +
             "/locales/ja\",\"PATH_RESOURCE_DLL\":\"" + dir +
             "/locales/ja/ResourceRes.dll\",\"PATH_HELP_FILE\":\"" + dir +
             "/locales/ja/TESSMAR.chm\",\"PATH_LICENSE_FILE\":\"" + dir +
             "/locales/ja/license.txt\",\"PATH_EXE_DAWNQUILL_FILE\":\"" + dir +
             "/dawnquill.txt\",\"PATH_LOCALE_DAWNQUILL_FILE\":\"" + dir +
             "/locales/ja/dawnquill.txt\"}}\n"},
        {{"env", "--json"},
         0,
         Glob("{\"usb_support\":*,\"ipv6_support\":*,\"executable\":\"" UTIL_TEST_CLI
              "\",\"executable_folder\":\"" +
              dir + "\",\"locales_folder\":\"" + dir + "/locales\",\"settings_file\":\"" + dir +
              "/Tessmar.ini\"}\n")},
        {{"paths", "--lang"}, 2},
        {{"paths", "extra"}, 2},
        {{"env", "--lang", "ja"}, 2},
    });
    // A copy of the program in a folder without the install tree finds its paths there, not
    // beside the original, and reports that no language can be selected.
    ScratchDir elsewhere;
    const std::string copy = (elsewhere.path() / "tessmar-util").string();
    std::filesystem::copy_file(UTIL_TEST_CLI, copy);
    ExpectCli({{"env"}, 0, Glob("* " + elsewhere.path().string() + "/Tessmar.ini\n*")}, "", copy);
    ExpectCli({{"paths", "--lang", "ja"}, 1, _, HasSubstr("no UI language could be selected")}, "",
              copy);
}
