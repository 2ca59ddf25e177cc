#include "util/environment/environment.h"

#include <gtest/gtest.h>

#include <string>

#include "util/environment/system_support.h"
#include "util/environment/test_install_tree.h"

namespace {

namespace env = common::sdk::environment;
using util_platform::ExecutablePathOverride;

TEST(EnvironmentTest, VersionThresholdsDecideUsbAndIpv6) {
    struct Case {
        unsigned platform, major, minor;
        bool usb, ipv6;
    } cases[] = {
        {2, 4, 0, false, false}, {2, 4, 90, false, false}, {2, 5, 0, true, false},
        {2, 5, 1, true, true},   {2, 5, 2, true, true},    {2, 6, 0, true, true},
        {2, 10, 0, true, true},  {1, 4, 10, false, false}, {1, 5, 1, false, false},
        {1, 6, 0, false, false}, {0, 6, 1, false, false},
    };
    for (const Case& c : cases) {
        util_platform::OsVersionRecord v{c.platform, c.major, c.minor};
        SCOPED_TRACE(std::to_string(c.platform) + ":" + std::to_string(c.major) + "." +
                     std::to_string(c.minor));
        EXPECT_EQ(env::UsbSupportedByVersion(v), c.usb);
        EXPECT_EQ(env::Ipv6SupportedByVersion(v), c.ipv6);
    }
}

TEST(EnvironmentTest, PathsFollowTheExecutable) {
    struct Case {
        std::u16string exe, file, folder, locales, ini;
    } cases[] = {
        {u"/opt/tool/tool", u"/opt/tool/tool", u"/opt/tool", u"/opt/tool/locales",
         u"/opt/tool/Tessmar.ini"},
        {u"/tool", u"/tool", u"/", u"/locales", u"/Tessmar.ini"},
        {u"/opt/my tool/bin/Tool.exe", u"/opt/my tool/bin/Tool.exe", u"/opt/my tool/bin",
         u"/opt/my tool/bin/locales", u"/opt/my tool/bin/Tessmar.ini"},
    };
    for (const Case& c : cases) {
        ExecutablePathOverride exe{c.exe, 0};
        util_platform::SetExecutablePathForTesting(&exe);
        CPath file(u"old"), folder(u"old"), locales(u"old"), ini(u"old");
        env::GetExeFilePath(&file);
        env::GetExeFolderPath(&folder);
        env::GetLocalesFolderPath(&locales);
        env::GetTessmarIniPath(&ini);
        util_platform::SetExecutablePathForTesting(nullptr);
        EXPECT_EQ(file.View(), c.file);
        EXPECT_EQ(folder.View(), c.folder);
        EXPECT_EQ(locales.View(), c.locales);
        EXPECT_EQ(ini.View(), c.ini);
    }
}

// A null out-pointer returns before the executable is even asked for: no failure is logged.
TEST(EnvironmentTest, NullOutPointersReturnAtOnce) {
    ExecutablePathOverride failing{std::nullopt, 2};
    util_platform::SetExecutablePathForTesting(&failing);
    util_testing::LogCapture log;
    env::GetExeFilePath(nullptr);
    env::GetExeFolderPath(nullptr);
    env::GetLocalesFolderPath(nullptr);
    env::GetTessmarIniPath(nullptr);
    CPath path;
    env::GetExeFilePath(&path);  // the one call that asks
    std::string text = log.Text();
    util_platform::SetExecutablePathForTesting(nullptr);
    size_t first = text.find("GetModuleFileName");
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_EQ(text.find("GetModuleFileName", first + 1), std::string::npos) << text;
}

// An unreadable executable name leaves the caller's value to work on, and says so in the debug
// log only.
TEST(EnvironmentTest, UnreadableExecutableKeepsTheCallersValue) {
    ExecutablePathOverride failing{std::nullopt, 13};
    util_platform::SetExecutablePathForTesting(&failing);
    util_testing::LogCapture log;
    CPath file(u"/before/x"), folder(u"/before/x"), locales(u"/before/x");
    env::GetExeFilePath(&file);
    env::GetExeFolderPath(&folder);
    env::GetLocalesFolderPath(&locales);
    std::string text = log.Text();
    util_platform::SetExecutablePathForTesting(nullptr);

    EXPECT_EQ(file.View(), u"/before/x");
    EXPECT_EQ(folder.View(), u"/before");
    EXPECT_EQ(locales.View(), u"/before/locales");
    EXPECT_NE(text.find("Fail to GetModuleFileName(NULL): lasterr=13"), std::string::npos) << text;

    util_platform::SetExecutablePathForTesting(&failing);
    util_testing::LogCapture quiet(false);
    env::GetExeFilePath(&file);
    std::string quietText = quiet.Text();
    util_platform::SetExecutablePathForTesting(nullptr);
    EXPECT_EQ(quietText.find("GetModuleFileName"), std::string::npos) << quietText;
}

// The real query names this test program.
TEST(EnvironmentTest, RealExecutableIsThisProgram) {
    CPath file, folder;
    env::GetExeFilePath(&file);
    env::GetExeFolderPath(&folder);
    std::string path = file.ToUtf8();
    ASSERT_GE(path.size(), 11u);
    EXPECT_EQ(path.substr(path.size() - 11), "/util_tests");
    EXPECT_TRUE(file.FileExists());
    EXPECT_EQ(folder.ToUtf8() + "/util_tests", path);
}

}  // namespace
