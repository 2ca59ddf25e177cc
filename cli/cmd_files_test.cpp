#include "util/testing/run_cli.h"
#include "util/testing/scratch_dir.h"

using namespace util_testing;

TEST(FilesCommandTest, ExitCodesAndOutput) {
    ScratchDir dir;
    const std::string firmware =
        std::string(140, 'F') + std::string("\0\0\0\x06\0\0\0\0", 8) + "TM-400" + "tail";
    dir.WriteFile("fw.bin", firmware);
    dir.WriteFile("near.bin", std::string("0123456789") + std::string("\0\0\0\x03....", 8) + "ok!");
    dir.WriteFile("five.bin", "12345");
    const std::vector<CliCase> rows = {
        {{"size", "five.bin"}, 0, "5\n"},
        {{"size", "missing.bin"}, 1, ""},
        {{"size", "--json", "five.bin"}, 0, "{\"file\":\"five.bin\",\"size\":5}\n"},
        {{"size", "--json", "missing.bin"}, 1, ""},
        {{"desc", "fw.bin", "--json"}, 0, "{\"file\":\"fw.bin\",\"description\":\"TM-40\"}\n"},
        {{"desc", "--json", "five.bin"}, 1, ""},
        {{"stamp", "--json", "fw.bin", "out.bin", "ID"}, 2, ""},  // prints no record
        {{"desc", "fw.bin"}, 0, "TM-40\n"},
        {{"desc", "near.bin", "--offset", "10"}, 0, "ok\n"},
        {{"desc", "five.bin"}, 1, ""},
        {{"desc", "fw.bin", "--offset", "4294967296"}, 2, ""},
        {{"stamp", "five.bin", "out.bin", "ID"}, 1, ""},  // shorter than the head
        {{"stamp", "fw.bin", "fw.bin", "ID"}, 1, ""},
        {{"stamp", "fw.bin", "stamped.bin", "JOB-7"}, 0, ""},
    };
    for (const CliCase& row : rows) ExpectCli(row, dir.path().string());
    EXPECT_EQ(ReadFileBytes(dir.path() / "fw.bin"), firmware);
    EXPECT_EQ(ReadFileBytes(dir.path() / "stamped.bin"),
              firmware.substr(0, 9) + "@JCID=JOB-7\r\n" + firmware.substr(9));
}
