// Scope-ID completion against a real kernel. The test builds network namespaces with the `ip`
// tool (root needed), runs tessmar-util inside them and compares the zone it appends with the
// interface list `ip -o link` shows there. A machine that refuses network namespaces fails the
// test: it must not pass without having looked at a kernel.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "util/testing/run_cli.h"

namespace {

using util_testing::RunResult;

// Runs `ip` with the words of `command`, in the namespace `name` when one is given.
RunResult Ip(const std::string& command, const std::string& name = "") {
    std::vector<std::string> args;
    if (!name.empty()) args = {"-n", name};
    std::istringstream words(command);
    for (std::string word; words >> word;) args.push_back(word);
    return util_testing::RunProgram("ip", args);
}

std::string Cli() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tessmar-util")
        .string();
}

// A network namespace that exists for the guard's lifetime, removed also when a test fails.
class Namespace {
  public:
    Namespace() {
        std::random_device random;
        name_ = "utilscope" + std::to_string(random() % 1000000000u);
        RunResult added = Ip("netns add " + name_);
        created_ = added.exitCode == 0;
        error_ = added.err;
    }
    ~Namespace() {
        if (created_) Ip("netns del " + name_);
    }
    bool created() const { return created_; }
    const std::string& error() const { return error_; }
    RunResult Run(const std::string& command) const { return Ip(command, name_); }
    // Runs `tessmar-util ip scope TEXT` inside the namespace: "status" and "result" lines.
    std::pair<std::string, std::string> Scope(const std::string& text) const {
        std::istringstream lines(
            util_testing::RunProgram("ip", {"netns", "exec", name_, Cli(), "ip", "scope", text})
                .out);
        std::string line, status, result;
        while (std::getline(lines, line)) {
            if (line.rfind("status\t", 0) == 0) status = line.substr(7);
            if (line.rfind("result\t", 0) == 0) result = line.substr(7);
        }
        return {status, result};
    }
    // The index of the first interface `ip -o link` lists as link/ether, or "" if none.
    std::string FirstEthernetIndex() const {
        std::istringstream lines(Run("-o link").out);
        std::string line;
        while (std::getline(lines, line))
            if (line.find("link/ether") != std::string::npos) return line.substr(0, line.find(':'));
        return "";
    }

  private:
    std::string name_, error_;
    bool created_ = false;
};

#define REQUIRE_NAMESPACE(ns)                                                                    \
    ASSERT_TRUE(ns.created()) << "this machine refused to create a network namespace (root and " \
                                 "CAP_SYS_ADMIN are needed); the scope-ID test cannot run: "     \
                              << ns.error()

TEST(ScopeIdOnARealKernel, OnlyLoopbackMeansNoEthernetAdapter) {
    Namespace ns;
    REQUIRE_NAMESPACE(ns);
    EXPECT_EQ(ns.FirstEthernetIndex(), "");
    auto [status, result] = ns.Scope("fe80::1");
    EXPECT_EQ(status, "IPV6_SCOPEID_ADAPTER_ERROR -2");
    EXPECT_EQ(result, "fe80::1");
}

TEST(ScopeIdOnARealKernel, FirstEthernetInterfaceGivesTheZone) {
    struct Setup {
        const char* what;
        std::vector<std::string> commands;
    } setups[] = {
        {"veth pair", {"link add v0 type veth peer name v1"}},
        {"bridge before a veth pair",
         {"link add br0 type bridge", "link add v0 type veth peer name v1",
          "link set v1 master br0"}},
    };
    for (const Setup& setup : setups) {
        SCOPED_TRACE(setup.what);
        Namespace ns;
        REQUIRE_NAMESPACE(ns);
        for (const std::string& command : setup.commands) {
            RunResult out = ns.Run(command);
            ASSERT_EQ(out.exitCode, 0) << "ip " << command << ": " << out.err;
        }
        std::string index = ns.FirstEthernetIndex();
        ASSERT_NE(index, "") << ns.Run("-o link").out;
        ASSERT_NE(index, "1");  // loopback comes first and is passed over
        struct Row {
            std::string address, status, result;
        } rows[] = {
            {"fe80::1", "IPV6_SCOPEID_OK 0", "fe80::1%" + index},
            {"FE80::1/64", "IPV6_SCOPEID_OK 0", "FE80::1/64%" + index},
            {"fd00::5", "IPV6_SCOPEID_OK 0", "fd00::5%" + index},
            {"2001:db8::1", "IPV6_SCOPEID_OK 0", "2001:db8::1"},
            {"ff02::1", "IPV6_SCOPEID_INVALID_ADDRESS -3", "ff02::1"},
            {"fe80::1%4", "IPV6_SCOPEID_ALREADY_SET 2", "fe80::1%4"},
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.address);
            auto [status, result] = ns.Scope(row.address);
            EXPECT_EQ(status, row.status);
            EXPECT_EQ(result, row.result);
        }
    }
}

}  // namespace
