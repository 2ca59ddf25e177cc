#include "util/testing/run_cli.h"

TEST(CliIp, SubcommandsAnswerWithTheirDocumentedOutputAndExitCode) {
    util_testing::ExpectCliRows(
        {{{"ip", "check", "10.0.0.1", "127.0.0.1", "fe80::1%4"},
          0,
          "10.0.0.1\tvalid IPv4\n127.0.0.1\tIPv4\nfe80::1%4\tIPv6\n"},
         {{"ip", "same", "fe80::1", "FE80:0:0:0:0:0:0:0001"}, 0, "same\n"},
         {{"ip", "same", "192.0.2.1", "192.0.2.2"}, 1, "different\n"},
         {{"ip", "cut", "::ffff/96:192.0.2.1%5"},
          0,
          "IPv6 part\t::ffff\nIPv4 tail\t192.0.2.1\nprefix\t96\nscope ID\t5\n"},
         {{"ip", "bond", "::192.0.2.1", "96"}, 0, ":/96:192.0.2.1\n"},
         {{"ip", "cut", "--json", "1.2.3.4"}, 1, ""},
         // A scope ID before the prefix is refused with the order that is accepted.
         {{"ip", "cut", "fe80::1%4/64"},
          1,
          "",
          testing::HasSubstr("IPv6[/PREFIX][:IPv4 tail][%SCOPE], e.g. fe80::1/64%4")},
         {{"ip", "cut", "fe80::1/64%4"},
          0,
          "IPv6 part\tfe80::1\nIPv4 tail\t\nprefix\t64\nscope ID\t4\n"},
         {{"ip", "bond", "fe80::1/64", "64"}, 1, ""},
         {{"ip", "bond", "fe80::1", "sixty"}, 2, ""},
         {{"ip", "scope", "10.0.0.1"},
          0,
          "status\tIPV6_SCOPEID_IPV4_ADDRESS 1\nresult\t10.0.0.1\n"},
         {{"ip", "scope", "fe80::1%4"},
          0,
          "status\tIPV6_SCOPEID_ALREADY_SET 2\nresult\tfe80::1%4\n"},
         {{"ip", "scope", "127.0.0.1"},
          1,
          "status\tIPV6_SCOPEID_INVALID_ADDRESS -3\nresult\t127.0.0.1\n"},
         // --json: one document, quoted by the JSON library (bad UTF-8 becomes U+FFFD), same exit
         // codes; failures print nothing on standard output. `ip same --json` prints no record.
         {{"ip", "check", "--json", "10.0.0.1", "a\"b\\\xff"},
          1,
          "[{\"text\":\"10.0.0.1\",\"kind\":\"valid IPv4\"},"
          "{\"text\":\"a\\\"b\\\\\xEF\xBF\xBD\",\"kind\":\"other\"}]\n"},
         {{"ip", "cut", "::ffff/96:192.0.2.1%5", "--json"},
          0,
          "{\"ipv6_part\":\"::ffff\",\"ipv4_tail\":\"192.0.2.1\",\"prefix\":96,"
          "\"scope_id\":\"5\"}\n"},
         {{"ip", "same", "--json", "10.0.0.1", "10.0.0.1"}, 2, ""},
         {{"ip", "frobnicate"}, 2, ""},
         {{"ip", "scope", "--json", "127.0.0.1"},
          1,
          "{\"status\":\"IPV6_SCOPEID_INVALID_ADDRESS\",\"code\":-3,\"result\":\"127.0.0.1\"}\n"}});
}
