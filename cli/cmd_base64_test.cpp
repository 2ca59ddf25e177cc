#include "util/testing/run_cli.h"

TEST(CliBase64, EncodesAndDecodesTheTextOrStandardInput) {
    // The last row: decoding stops at the first "=".
    util_testing::ExpectCliRows(
        {{{"base64", "encode", "--text", "abc"}, 0, "YWJj\n"},
         {{"base64", "encode"}, 0, "AQ==\n", testing::_, {}, "\x01"},
         {{"base64", "decode", "--text=Y"}, 1, "", testing::HasSubstr("no complete Base64 byte")},
         {{"base64", "decode"}, 0, "a", testing::_, {}, "YQ==YWJj"}});
}
