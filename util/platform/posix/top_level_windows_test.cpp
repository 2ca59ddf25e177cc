// The window query without an X server: no variable, or a display that no server serves.

#include "util/platform/top_level_windows.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "util/testing/scoped_env_var.h"

namespace {

TEST(TopLevelWindowsWithoutADisplay, NothingIsListedAndNoTitleRead) {
    for (const char* display : {static_cast<const char*>(nullptr), ":7913"}) {
        util_testing::ScopedEnvVar variable(
            "DISPLAY", display ? std::optional<std::string>(display) : std::nullopt);
        EXPECT_TRUE(util_platform::TopLevelWindows().empty()) << (display ? display : "(unset)");
        std::u16string title = u"untouched";
        EXPECT_FALSE(util_platform::ReadWindowTitle(0x400001, &title));
        EXPECT_TRUE(title == u"untouched");
    }
}

}  // namespace
