// The POSIX settings-file object: one read of the file serves a query asked again with every
// buffer size, so a file that changes in between cannot mix two versions into one answer.

#include "util/platform/profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/base/utf.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"

namespace {

using util_platform::ProfileFile;
using namespace std::string_literals;

TEST(PosixProfileFile, AnswersEveryBufferSizeFromOneReadOfTheFile) {
    util_testing::ScratchDir dir;
    dir.WriteFile("s.ini", "[S]\r\nkey = first value\r\nother=1\r\n");
    const std::u16string path = util_base::Utf8ToUtf16(dir.path().string() + "/s.ini");
    ProfileFile profile(path);
    const std::u16string before = u"first value", list = u"key = first value\0other=1\0"s;
    dir.WriteFile("s.ini", "[S]\r\nkey = second, longer value\r\n");  // after the object read it
    for (uint32_t size = 1; size <= 40; ++size) {
        SCOPED_TRACE(size);
        std::vector<char16_t> buffer(size, u'#');
        const uint32_t copied = profile.ReadString(u"S", u"key", u"", buffer.data(), size);
        EXPECT_EQ(std::u16string(buffer.data(), copied), before.substr(0, size - 1));
        const uint32_t listed = profile.ReadSection(u"S", buffer.data(), size);
        const std::u16string expected = size < 2                  ? u""
                                        : list.size() <= size - 1 ? list
                                                                  : list.substr(0, size - 2);
        EXPECT_EQ(std::u16string(buffer.data(), listed), expected);
    }
    // The entries one by one are the list's entries, also from the file as the object read it.
    std::u16string visited;
    EXPECT_TRUE(profile.VisitSection(u"s", 2, [&](std::u16string_view entry) {
        visited.append(entry);
        visited.push_back(0);
    }));
    EXPECT_EQ(visited, list);
    EXPECT_FALSE(profile.VisitSection(u"none", 2, [](std::u16string_view) { ADD_FAILURE(); }));
    // A new object sees the file as it is now.
    char16_t buffer[64];
    const uint32_t copied = ProfileFile(path).ReadString(u"S", u"key", u"", buffer, 64);
    EXPECT_EQ(std::u16string(buffer, copied), u"second, longer value");
}

// Lines of plain ASCII bytes take a short way around the code page's converter; where the
// code page reads some ASCII byte as another character (Shift-JIS: 5C is the yen sign, 7E the
// overline), the line must still read as the code page reads it.
TEST(PosixProfileFile, AsciiBytesReadAsTheirCodePageReadsThem) {
    util_testing::ScratchDir dir;
    dir.WriteFile("a.ini", "[S]\r\npath = C:\\dir~1\r\n");
    const std::u16string path = util_base::Utf8ToUtf16(dir.path().string() + "/a.ini");
    const std::pair<const char*, std::u16string> cases[] = {
        {"de_DE.ISO-8859-1", u"C:\\dir~1"},
        {"ja_JP.SHIFT_JIS", u"C:\u00A5dir\u203E1"},
        {"de_DE.UTF-8", u"C:\\dir~1"},
    };
    for (const auto& [lang, expected] : cases) {
        SCOPED_TRACE(lang);
        util_testing::ScopedEnvVar all("LC_ALL", lang);
        ProfileFile profile(path);
        char16_t buffer[64];
        const uint32_t copied = profile.ReadString(u"S", u"path", u"", buffer, 64);
        EXPECT_EQ(std::u16string(buffer, copied), expected);
        std::u16string visited;
        profile.VisitSection(u"S", 2, [&](std::u16string_view entry) { visited = entry; });
        EXPECT_EQ(visited, u"path = " + expected);
    }
}

}  // namespace
