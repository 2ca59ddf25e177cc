#include "util/environment/environment.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "util/environment/system_support.h"
#include "util/environment/test_install_tree.h"
#include "util/testing/platform_constants.h"

namespace {

namespace env = common::sdk::environment;
using util_platform::ExecutablePathOverride;
using util_testing::Native;

TEST(EnvironmentTest, VersionThresholdsDecideUsbAndIpv6) {
    struct Case {
        unsigned platform, major, minor;
        bool usb, ipv6;
    } cases[] = {
        {2, 4, 90, false, false}, {2, 5, 0, true, false},  {2, 5, 1, true, true},
        {2, 6, 0, true, true},    {2, 10, 0, true, true},  {1, 5, 1, false, false},
        {1, 6, 0, false, false},  {0, 6, 1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.platform << ":" << c.major << "." << c.minor);
        EXPECT_EQ(env::UsbSupportedByVersion({c.platform, c.major, c.minor}), c.usb);
        EXPECT_EQ(env::Ipv6SupportedByVersion({c.platform, c.major, c.minor}), c.ipv6);
    }
}

TEST(EnvironmentTest, PathsFollowTheExecutable) {
    using S = std::u16string;
    for (const auto& [exe_path, folder_path, locales_path, ini_path] :
         std::vector<std::tuple<S, S, S, S>>{
             {u"/opt/tool/tool", u"/opt/tool", u"/opt/tool/locales", u"/opt/tool/Tessmar.ini"},
             {u"/tool", u"/", u"/locales", u"/Tessmar.ini"},
             {u"/opt/my tool/bin/Tool.exe", u"/opt/my tool/bin", u"/opt/my tool/bin/locales",
              u"/opt/my tool/bin/Tessmar.ini"},
         }) {
        ExecutablePathOverride exe{std::u16string(Native(exe_path.c_str()).View()), 0};
        util_platform::SetExecutablePathForTesting(&exe);
        CPath file(u"old"), folder(u"old"), locales(u"old"), ini(u"old");
        env::GetExeFilePath(&file);
        env::GetExeFolderPath(&folder);
        env::GetLocalesFolderPath(&locales);
        env::GetTessmarIniPath(&ini);
        util_platform::SetExecutablePathForTesting(nullptr);
        EXPECT_EQ(file.View(), Native(exe_path.c_str()).View());
        EXPECT_EQ(folder.View(), Native(folder_path.c_str()).View());
        EXPECT_EQ(locales.View(), Native(locales_path.c_str()).View());
        EXPECT_EQ(ini.View(), Native(ini_path.c_str()).View());
    }
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1))
        ++n;
    return n;
}

// An unreadable executable name leaves the caller's value to work on and says so in the debug
// log only, once per call that asks; a null out-pointer returns before asking.
TEST(EnvironmentTest, UnreadableExecutableKeepsTheCallersValue) {
    ExecutablePathOverride failing{std::nullopt, 13};
    util_platform::SetExecutablePathForTesting(&failing);
    CPath file(Native(u"/before/x")), folder(Native(u"/before/x")), locales(Native(u"/before/x"));
    util_testing::LogCapture log;
    env::GetExeFilePath(nullptr);
    env::GetExeFolderPath(nullptr);
    env::GetLocalesFolderPath(nullptr);
    env::GetTessmarIniPath(nullptr);
    env::GetExeFilePath(&file);
    env::GetExeFolderPath(&folder);
    env::GetLocalesFolderPath(&locales);
    const std::string text = log.Text();
    util_testing::LogCapture quiet(false);
    env::GetExeFilePath(&file);
    const std::string quietText = quiet.Text();
    util_platform::SetExecutablePathForTesting(nullptr);

    EXPECT_EQ(file.View(), Native(u"/before/x").View());
    EXPECT_EQ(folder.View(), Native(u"/before").View());
    EXPECT_EQ(locales.View(), Native(u"/before/locales").View());
    EXPECT_EQ(Count(text, "Fail to GetModuleFileName(NULL): lasterr=13"), 3u) << text;
    EXPECT_EQ(Count(text, "GetModuleFileName"), 3u) << text;
    EXPECT_EQ(Count(quietText, "GetModuleFileName"), 0u) << quietText;
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
