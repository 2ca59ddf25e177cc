// The adapter query against the kernel of this process's network namespace: the list `ip -o link`
// shows, in its order, with the zones Linux gives every interface.

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "util/platform/network.h"
#include "util/testing/run_cli.h"

namespace {

TEST(AdapterQueryOnARealKernel, ListsEveryInterfaceInIndexOrder) {
    size_t count = 0;
    ASSERT_EQ(util_platform::QueryAdapters(nullptr, &count),
              util_platform::AdapterQueryResult::kBufferOverflow);
    std::vector<util_platform::AdapterRecord> records(count);
    ASSERT_EQ(util_platform::QueryAdapters(records.data(), &count),
              util_platform::AdapterQueryResult::kOk);

    // What `ip -o link` shows: index and whether it is link/ether.
    std::istringstream lines(util_testing::RunProgram("ip", {"-o", "link"}).out);
    std::vector<std::pair<uint32_t, bool>> shown;
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty() && isdigit(static_cast<unsigned char>(line[0])))
            shown.emplace_back(std::stoul(line), line.find("link/ether") != std::string::npos);
    ASSERT_EQ(records.size(), shown.size());
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE("interface " + std::to_string(records[i].interfaceIndex));
        EXPECT_EQ(records[i].interfaceIndex, shown[i].first);
        // Wireless interfaces show link/ether too but are not Ethernet for us.
        if (!shown[i].second) {
            EXPECT_FALSE(records[i].isEthernet);
        }
        EXPECT_EQ(records[i].linkZone, records[i].interfaceIndex);
        EXPECT_EQ(records[i].siteZone, records[i].interfaceIndex);
        EXPECT_EQ(records[i].globalZone, 0u);
    }
}

}  // namespace
