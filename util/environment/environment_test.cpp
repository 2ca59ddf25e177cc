#include "util/environment/environment.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "util/environment/system_support.h"
#include "util/environment/test_install_tree.h"
#include "util/testing/cstring_printer.h"
#include "util/testing/platform_constants.h"

namespace {

namespace env = common::sdk::environment;
using util_platform::ExecutablePathOverride;
using util_testing::Native;

TEST(EnvironmentTest, VersionThresholdsDecideUsbAndIpv6) {
    // USB from NT 5.0, IPv6 from NT 5.1 and from 6.0 whatever the minor; never on the 9x family.
    // Platform, major, minor; USB, IPv6.
    const std::tuple<unsigned, unsigned, unsigned, bool, bool> rows[] = {{2, 4, 90, false, false},
                                                                         {2, 5, 0, true, false},
                                                                         {2, 5, 1, true, true},
                                                                         {2, 6, 0, true, true},
                                                                         {1, 6, 1, false, false}};
    for (const auto& [platform, major, minor, usb, ipv6] : rows) {
        SCOPED_TRACE(testing::Message() << platform << ":" << major << "." << minor);
        EXPECT_EQ(env::UsbSupportedByVersion({platform, major, minor}), usb);
        EXPECT_EQ(env::Ipv6SupportedByVersion({platform, major, minor}), ipv6);
    }
}

// The four paths, each followed by '|', of an executable at `exe` (written with '/'; null: the
// query fails with error 13). Each is asked of a path that held "/before/x", after a null path,
// which must return before asking.
CString PathsOf(const char16_t* exe) {
    ExecutablePathOverride query{std::nullopt, 13};
    if (exe) query.path = std::u16string(Native(exe).View());
    util_platform::SetExecutablePathForTesting(&query);
    CString paths;
    for (auto get : {env::GetExeFilePath, env::GetExeFolderPath, env::GetLocalesFolderPath,
                     env::GetTessmarIniPath}) {
        CPath path(Native(u"/before/x"));
        get(nullptr);
        get(&path);
        paths += path + u"|";
    }
    util_platform::SetExecutablePathForTesting(nullptr);
    return paths;
}

TEST(EnvironmentTest, PathsFollowTheExecutableOrKeepTheCallersValue) {
    EXPECT_EQ(PathsOf(u"/opt/tool/tool"),
              Native(u"/opt/tool/tool|/opt/tool|/opt/tool/locales|/opt/tool/Tessmar.ini|"));
    EXPECT_EQ(PathsOf(u"/tool"), Native(u"/tool|/|/locales|/Tessmar.ini|"));
    // An unreadable executable name leaves the caller's value to work on and says so in the
    // debug log only, once for each path asked.
    for (bool debug : {true, false}) {
        util_testing::LogCapture log(debug);
        EXPECT_EQ(PathsOf(nullptr),
                  Native(u"/before/x|/before|/before/locales|/before/Tessmar.ini|"));
        const std::string line = "Fail to GetModuleFileName(NULL): lasterr=13|";
        EXPECT_EQ(log.Messages(), debug ? line + line + line + line : "");
    }
}

// The real query names this test program.
TEST(EnvironmentTest, RealExecutableIsThisProgram) {
    CPath file, folder;
    env::GetExeFilePath(&file);
    env::GetExeFolderPath(&folder);
    EXPECT_EQ(file.ToUtf8(),
              folder.ToUtf8() + util_testing::kSeparator + "util_tests" + util_testing::kExeSuffix);
    EXPECT_TRUE(file.FileExists());
}

}  // namespace
