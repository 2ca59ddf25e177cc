#include "util/testing/run_cli.h"

using testing::_;

TEST(CliBase64, EncodesAndDecodesTheTextOrStandardInput) {
    util_testing::ExpectCliRows({
        {{"base64", "encode", "--text", "abc"}, 0, "YWJj\n"},
        {{"base64", "encode"}, 0, "AQ==\n", _, {}, "\x01"},
        {{"base64", "decode"}, 0, "a", _, {}, "YQ==YWJj"},  // stops at the first "="
        {{"base64", "decode", "--text=Y"}, 1, "", testing::HasSubstr("no complete Base64 byte")},
    });
}
