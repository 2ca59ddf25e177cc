// The `log` command as a user runs it: exit codes, and the log shown back as UTF-8.

#include "util/testing/run_cli.h"
#include "util/testing/scratch_dir.h"

using namespace util_testing;

TEST(LogCliTest, WritesAndShowsLogs) {
    ScratchDir scratch;
    const std::string dir = scratch.path().string(), log = dir + "/Tessmar.log";
    scratch.WriteFile("odd.log", std::string("\xFF\xFE\x41\0B", 5));
    ExpectCliRows(
        {{{"log", "--dir", dir, "first", "second line"}, 0},
         {{"log", "show", log}, 0, Glob("*Tessmar.log\n[*] first\n[*] second line\n*")},
         {{"log", "download", "--dir", dir, "--append", "--device", "TM-4200", "--port", "COM3",
           "sending"},
          0},
         {{"log", "show", log},
          0,
          Glob("*] second line\nTessmar.log\n------------------\n[Start Time]*\n"
               "[Device Type]:TM-4200\n[Port Name]:COM3\n[*] sending\n----\n[Finish Time]*\n"
               "------------------\n\n*")},
         {{"log", "--dir", dir, "--debug", "debug text"}, 0},
         {{"log", "show", log}, 0, Glob("*Tessmar.log\n[*] debug text\n*")},
         {{"log", "show", dir + "/odd.log"}, 0, Glob("*A\xEF\xBF\xBD*")},
         {{"log", "--dir", dir}, 2}});
    // The fresh log (no --append) moved the earlier one to the backup.
    EXPECT_FALSE(ReadFileBytes(scratch.path() / "Tessmar.bak").empty());
}
