// The text, encoding and ini commands as a user runs them: output and exit codes.

#include "util/testing/run_cli.h"
#include "util/testing/scratch_dir.h"

TEST(TextIniCliTest, CommandsAnswerAsDocumented) {
    util_testing::ScratchDir dir;
    dir.WriteFile("a.ini", "[Common]\r\nb = 2\r\nA=\"1\"\r\nempty=\r\n");
    dir.WriteFile("u16.txt", std::string("\xFF\xFE\x61\0\r\0\n\0\xE9\0", 10));
    // The last: `text --json` prints no record.
    util_testing::ExpectCliRows(
        {{{"ini", "a.ini", "common"}, 0, "A=\"1\"\nb=2\nempty=\n"},
         {{"ini", "a.ini", "COMMON", "a"}, 0, "1\n"},
         {{"ini", "--json", "a.ini", "common"},
          0,
          "{\"A\":\"\\\"1\\\"\",\"b\":\"2\",\"empty\":\"\"}\n"},
         // A key set to nothing is an empty line; a key that is not there is a failure.
         {{"ini", "a.ini", "Common", "EMPTY"}, 0, "\n"},
         {{"ini", "a.ini", "Common", "missing"}, 1, ""},
         {{"ini", "a.ini", "Other", "a"}, 1, ""},
         {{"ini", "a.ini", "COMMON", "a", "--json"}, 0, "{\"key\":\"a\",\"value\":\"1\"}\n"},
         {{"ini", "--json", "a.ini", "Other"}, 1, ""},
         {{"text", "u16.txt"}, 0, "a\n\xC3\xA9"},
         {{"text", "--dos", "u16.txt"}, 0, "a\r\n\xC3\xA9"},
         {{"encoding", "u16.txt"}, 0, "UTF-16LE\n"},
         {{"encoding", "a.ini"}, 0, "ANSI (no byte-order mark)\n"},
         {{"encoding", "--json", "u16.txt"},
          0,
          "{\"file\":\"u16.txt\",\"encoding\":\"UTF-16LE\"}\n"},
         {{"encoding", "--json", "none"}, 1, ""},
         {{"text", "--json", "u16.txt"}, 2, ""}},
        dir.path().string());
}
