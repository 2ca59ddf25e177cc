#include "util/testing/run_cli.h"
#include "util/testing/scratch_dir.h"

using namespace util_testing;

TEST(FilesCommandTest, ExitCodesAndOutput) {
    ScratchDir dir;
    const std::string fw = std::string(140, 'F') + std::string("\0\0\0\x06\0\0\0\0TM-400tail", 18);
    dir.WriteFile("fw.bin", fw);
    dir.WriteFile("near.bin", std::string("0123456789") + std::string("\0\0\0\x03....", 8) + "ok!");
    dir.WriteFile("five.bin", "12345");
    // `stamp --json` prints no record; five.bin is shorter than the head.
    ExpectCliRows(
        {{{"size", "--json", "five.bin"}, 0, "{\"file\":\"five.bin\",\"size\":5}\n"},
         {{"desc", "fw.bin", "--json"}, 0, "{\"file\":\"fw.bin\",\"description\":\"TM-40\"}\n"},
         {{"stamp", "--json", "fw.bin", "out.bin", "ID"}, 2, ""},
         {{"stamp", "fw.bin", "stamped.bin", "JOB-7"}, 0, ""},
         {{"size", "five.bin"}, 0, "5\n"},
         {{"desc", "fw.bin", "--offset", "4294967296"}, 2, ""},
         {{"desc", "fw.bin"}, 0, "TM-40\n"},
         {{"desc", "near.bin", "--offset", "10"}, 0, "ok\n"},
         {{"desc", "--json", "five.bin"}, 1, ""},
         {{"stamp", "fw.bin", "fw.bin", "ID"}, 1, ""},
         {{"size", "--json", "missing.bin"}, 1, ""}},
        dir.path().string());
    EXPECT_EQ(ReadFileBytes(dir.path() / "fw.bin"), fw);
    EXPECT_EQ(ReadFileBytes(dir.path() / "stamped.bin"),
              fw.substr(0, 9) + "@JCID=JOB-7\r\n" + fw.substr(9));
}
