#include <filesystem>

#include "util/testing/platform_constants.h"
#include "util/testing/run_cli.h"
#include "util/testing/scratch_dir.h"

using testing::_;
using util_testing::CliCase;

TEST(TempDirAndWindowCommands, ExitCodesAndOutput) {
    util_testing::ScratchDir scratch;
    const std::string temp = (scratch.path() / "temp").string(),
                      made = temp + util_testing::kSeparator + util_testing::TempName(1) + "\n";
    const std::vector<std::string> tmp = {std::string(util_testing::kTempVariable) + "=" + temp};
    const std::string file = scratch.WriteFile("file", "x").string();
    // No display (POSIX), or no window of that title on the session's desktop.
    const std::vector<std::string> no_display(util_testing::kWindowsOnDisplayVariable, "DISPLAY=");
    for (const CliCase& row : std::vector<CliCase>{
             {{"tempdir"}, 0, made, _, tmp},
             {{"tempdir", "--keep-open"}, 0, made, _, tmp, "\n"},
             {{"tempdir"}, 1, "", _, {std::string(util_testing::kTempVariable) + "=" + file}},
             {{"tempdir", "now"}, 2, ""},
             {{"window", "Tessmar"}, 1, "", _, no_display}}) {
        util_testing::ExpectCli(row);
        // Whatever happened, no directory is left behind.
        EXPECT_FALSE(std::filesystem::exists(temp + "/" + util_testing::TempName(1)));
    }
}
