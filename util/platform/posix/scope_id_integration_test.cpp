// The adapter query and scope-ID completion against a real kernel. The query is compared with
// the interface list `ip -o link` shows in this process's network namespace; for completion the
// test builds network namespaces with the `ip` tool (root needed), runs tessmar-util inside them
// and compares the zone it appends with the interface list there. Where network namespaces
// cannot be made or entered (no root, a container without CAP_SYS_ADMIN, a chroot without its
// mounts, no `ip` tool) the completion test is skipped with the reason: it never passes without
// having looked at a kernel.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "util/platform/network.h"
#include "util/testing/run_cli.h"

namespace {

using util_testing::RunProgram, util_testing::RunResult;

// Runs `ip` with the words of `command`, in the namespace `name` when one is given.
RunResult Ip(const std::string& command, const std::string& name = "") {
    std::istringstream words((name.empty() ? "" : "-n " + name + " ") + command);
    return RunProgram("ip", {std::istream_iterator<std::string>(words), {}});
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
    std::vector<util_platform::AdapterRecord> records;
    ASSERT_EQ(util_platform::ReadAdapterList(&records), util_platform::AdapterListResult::kOk);
    const auto shown = Links();
    ASSERT_EQ(records.size(), shown.size());
    // Wireless interfaces show link/ether too but are not Ethernet for us.
    for (size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        EXPECT_EQ(std::make_tuple(r.interfaceIndex, r.linkZone, r.siteZone, r.globalZone,
                                  r.isEthernet && !shown[i].second),
                  std::make_tuple(shown[i].first, shown[i].first, shown[i].first, 0u, false));
    }
}

// A network namespace that exists for the guard's lifetime, removed also when a test fails.
struct Namespace {
    ~Namespace() {
        if (added.exitCode == 0) Ip("netns del " + name);
    }
    const std::string name = "utilscope" + std::to_string(std::random_device()() % 1000000000u);
    const RunResult added = Ip("netns add " + name);
};

// The zone appended is the index of the first interface `ip -o link` lists as link/ether (the
// link and the site zone alike on Linux). With loopback alone there is no Ethernet adapter, and
// completion fails the adapter step. Which addresses get which zone is the rule's business,
// tested over made-up adapter lists; this test proves the kernel's answers.
TEST(ScopeIdOnARealKernel, FirstEthernetInterfaceGivesTheZone) {
    const std::string cli =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tessmar-util";
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
        // Creating one needs root (CAP_SYS_ADMIN); without it there is nothing to look at.
        if (ns.added.exitCode != 0)
            GTEST_SKIP() << "cannot create a network namespace (`ip netns add` exit "
                         << ns.added.exitCode << "): " << ns.added.err;
        // Entering one remounts /sys, which a bare chroot without its own mounts refuses.
        const RunResult entered = RunProgram("ip", {"netns", "exec", ns.name, "true"});
        if (entered.exitCode != 0)
            GTEST_SKIP() << "cannot enter a network namespace (`ip netns exec` exit "
                         << entered.exitCode << "): " << entered.err;
        for (const std::string& command : commands) {
            const RunResult out = Ip(command, ns.name);
            ASSERT_EQ(out.exitCode, 0) << "ip " << command << ": " << out.err;
        }
        std::string index;  // of the first interface listed as link/ether
        for (const auto& [i, ether] : Links(ns.name))
            if (ether && index.empty()) index = std::to_string(i);
        ASSERT_EQ(index.empty(), commands.empty()) << Ip("-o link", ns.name).out;
        ASSERT_NE(index, "1");  // loopback comes first and is passed over
        const std::string answer = index.empty() ? "IPV6_SCOPEID_ADAPTER_ERROR -2\nresult\t"
                                                 : "IPV6_SCOPEID_OK 0\nresult\t";
        // What `tessmar-util ip scope ADDRESS` prints inside the namespace: the link-local and
        // the site-local address each get the zone.
        for (const std::string address : {"fe80::1", "fd00::5"})
            EXPECT_EQ(RunProgram("ip", {"netns", "exec", ns.name, cli, "ip", "scope", address}).out,
                      "status\t" + answer + address + (index.empty() ? "" : "%" + index) + "\n");
    }
}

}  // namespace
