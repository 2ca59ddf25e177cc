// The adapter query and scope-ID completion against a real kernel. The query is compared with
// the interface list `ip -o link` shows in this process's network namespace; for completion the
// test builds network namespaces with the `ip` tool (root needed), runs tessmar-util inside them
// and compares the zone it appends with the interface list there. A machine that refuses network
// namespaces fails the test: it must not pass without having looked at a kernel.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "util/platform/network.h"
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

// What `ip -o link` shows, in its order: each interface's index and whether it is link/ether.
std::vector<std::pair<uint32_t, bool>> Links(const std::string& name = "") {
    std::istringstream lines(Ip("-o link", name).out);
    std::vector<std::pair<uint32_t, bool>> shown;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && isdigit(static_cast<unsigned char>(line[0])))
            shown.emplace_back(std::stoul(line), line.find("link/ether") != std::string::npos);
    return shown;
}

TEST(AdapterQueryOnARealKernel, ListsEveryInterfaceInIndexOrder) {
    size_t count = 0;
    ASSERT_EQ(util_platform::QueryAdapters(nullptr, &count),
              util_platform::AdapterQueryResult::kBufferOverflow);
    std::vector<util_platform::AdapterRecord> records(count);
    ASSERT_EQ(util_platform::QueryAdapters(records.data(), &count),
              util_platform::AdapterQueryResult::kOk);
    const auto shown = Links();
    ASSERT_EQ(records.size(), shown.size());
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE("interface " + std::to_string(records[i].interfaceIndex));
        EXPECT_EQ(records[i].interfaceIndex, shown[i].first);
        // Wireless interfaces show link/ether too but are not Ethernet for us.
        EXPECT_TRUE(shown[i].second || !records[i].isEthernet);
        EXPECT_EQ(records[i].linkZone, records[i].interfaceIndex);
        EXPECT_EQ(records[i].siteZone, records[i].interfaceIndex);
        EXPECT_EQ(records[i].globalZone, 0u);
    }
}

// A network namespace that exists for the guard's lifetime, removed also when a test fails.
class Namespace {
  public:
    Namespace()
        : name_("utilscope" + std::to_string(std::random_device()() % 1000000000u)),
          added_(Ip("netns add " + name_)) {}
    ~Namespace() {
        if (created()) Ip("netns del " + name_);
    }
    bool created() const { return added_.exitCode == 0; }
    const std::string& error() const { return added_.err; }
    RunResult Run(const std::string& command) const { return Ip(command, name_); }
    // What `tessmar-util ip scope TEXT` prints inside the namespace.
    std::string Scope(const std::string& text) const {
        const std::string cli =
            (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tessmar-util");
        return util_testing::RunProgram("ip", {"netns", "exec", name_, cli, "ip", "scope", text})
            .out;
    }
    // The index of the first interface listed as link/ether, or "" if none.
    std::string FirstEthernetIndex() const {
        for (const auto& [index, ether] : Links(name_))
            if (ether) return std::to_string(index);
        return "";
    }

  private:
    std::string name_;
    RunResult added_;
};

std::string Printed(const std::string& status, const std::string& result) {
    return "status\t" + status + "\nresult\t" + result + "\n";
}

// With loopback alone there is no Ethernet adapter: every address the text does not decide
// fails the adapter step, even one of a kind that is never completed.
TEST(ScopeIdOnARealKernel, FirstEthernetInterfaceGivesTheZone) {
    const std::pair<const char*, std::vector<std::string>> setups[] = {
        {"loopback only", {}},
        {"veth pair", {"link add v0 type veth peer name v1"}},
        {"bridge before a veth pair",
         {"link add br0 type bridge", "link add v0 type veth peer name v1",
          "link set v1 master br0"}},
    };
    for (const auto& [what, commands] : setups) {
        SCOPED_TRACE(what);
        Namespace ns;
        ASSERT_TRUE(ns.created()) << "this machine refused to create a network namespace (root and "
                                     "CAP_SYS_ADMIN are needed); the scope-ID test cannot run: "
                                  << ns.error();
        for (const std::string& command : commands) {
            RunResult out = ns.Run(command);
            ASSERT_EQ(out.exitCode, 0) << "ip " << command << ": " << out.err;
        }
        const std::string index = ns.FirstEthernetIndex();
        ASSERT_EQ(index.empty(), commands.empty()) << ns.Run("-o link").out;
        ASSERT_NE(index, "1");  // loopback comes first and is passed over
        const std::string ok =
            index.empty() ? "IPV6_SCOPEID_ADAPTER_ERROR -2" : "IPV6_SCOPEID_OK 0";
        const std::string zone = index.empty() ? "" : "%" + index;
        const std::pair<std::string, std::string> rows[] = {
            {"fe80::1", Printed(ok, "fe80::1" + zone)},
            {"FE80::1/64", Printed(ok, "FE80::1/64" + zone)},
            {"fd00::5", Printed(ok, "fd00::5" + zone)},
            {"2001:db8::1", Printed(ok, "2001:db8::1")},
            {"ff02::1", Printed(index.empty() ? ok : "IPV6_SCOPEID_INVALID_ADDRESS -3", "ff02::1")},
            {"fe80::1%4", Printed("IPV6_SCOPEID_ALREADY_SET 2", "fe80::1%4")},
        };
        for (const auto& [address, printed] : rows) EXPECT_EQ(ns.Scope(address), printed);
    }
}

}  // namespace
