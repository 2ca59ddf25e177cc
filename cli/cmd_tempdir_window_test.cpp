#include <filesystem>

#include "util/testing/platform_constants.h"
#include "util/testing/run_cli.h"
#include "util/testing/scratch_dir.h"

using testing::_;
using util_testing::CliCase;

TEST(TempDirAndWindowCommands, ExitCodesAndOutput) {
    util_testing::ScratchDir scratch;
    const std::string temp = (scratch.path() / "temp").string(),
                      made = temp + util_testing::kSeparator + util_testing::TempName("1") + "\n";
    const std::vector<std::string> tmp = {std::string(util_testing::kTempVariable) + "=" + temp};
    const std::string file = scratch.WriteFile("file", "x").string();
    for (const CliCase& row : std::vector<CliCase>{
             {{"tempdir"}, 0, made, _, tmp},
             {{"tempdir", "--keep-open"}, 0, made, _, tmp, "\n"},
             {{"tempdir"}, 1, "", _, {std::string(util_testing::kTempVariable) + "=" + file}},
             {{"tempdir", "now"}, 2, ""},
             // No display (POSIX), or no window of that title on the session's desktop.
             {{"window", "Tessmar"},
              1,
              "",
              _,
              util_testing::kWindowsOnDisplayVariable ? std::vector<std::string>{"DISPLAY="}
                                                      : std::vector<std::string>{}},
             {{"window"}, 2, ""},
         }) {
        util_testing::ExpectCli(row);
        // Whatever happened, no directory is left behind.
        EXPECT_FALSE(std::filesystem::exists(temp + "/" + util_testing::TempName("1")));
    }
}
