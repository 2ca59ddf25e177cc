#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

struct Result {
    int exitCode;
    std::string out;
};

Result RunCli(const std::string& arguments) {
    // The shell reports the exit code after the output, so no process-status macros are needed.
    std::string command =
        std::string(UTIL_TEST_CLI) + " " + arguments + " 2>/dev/null; echo \"#exit=$?\"";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {-1, ""};
    std::string out;
    char buffer[256];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    size_t marker = out.rfind("#exit=");
    if (marker == std::string::npos) return {-1, out};
    return {std::stoi(out.substr(marker + 6)), out.substr(0, marker)};
}

TEST(CliIp, SubcommandsAnswerWithTheirDocumentedOutputAndExitCode) {
    struct Row {
        const char* arguments;
        int exitCode;
        const char* out;
    } rows[] = {
        {"ip check 10.0.0.1 127.0.0.1 fe80::1%4", 0,
         "10.0.0.1\tvalid IPv4\n127.0.0.1\tIPv4\nfe80::1%4\tIPv6\n"},
        {"ip check printer 10.0.0.1", 1, "printer\tother\n10.0.0.1\tvalid IPv4\n"},
        {"ip same fe80::1 FE80:0:0:0:0:0:0:0001", 0, "same\n"},
        {"ip same 192.0.2.1 192.0.2.2", 1, "different\n"},
        {"ip cut '::ffff/96:192.0.2.1%5'", 0,
         "IPv6 part\t::ffff\nIPv4 tail\t192.0.2.1\nprefix\t96\nscope ID\t5\n"},
        {"ip cut 1.2.3.4", 1, ""},
        {"ip bond '::192.0.2.1' 96", 0, ":/96:192.0.2.1\n"},
        {"ip bond fe80::1/64 64", 1, ""},
        {"ip bond fe80::1 sixty", 2, ""},
        {"ip scope 10.0.0.1", 0, "status\tIPV6_SCOPEID_IPV4_ADDRESS 1\nresult\t10.0.0.1\n"},
        {"ip scope fe80::1%4", 0, "status\tIPV6_SCOPEID_ALREADY_SET 2\nresult\tfe80::1%4\n"},
        {"ip scope 127.0.0.1", 1, "status\tIPV6_SCOPEID_INVALID_ADDRESS -3\nresult\t127.0.0.1\n"},
        {"ip check", 2, ""},
        {"ip same onlyone", 2, ""},
        {"ip frobnicate", 2, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments);
        Result result = RunCli(row.arguments);
        EXPECT_EQ(result.exitCode, row.exitCode);
        EXPECT_EQ(result.out, row.out);
    }
}

}  // namespace
