// The POSIX settings-file object: one read of the file serves a query asked again with every
// buffer size, so a file that changes in between cannot mix two versions into one answer.

#include "util/platform/profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/base/utf.h"
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
    // A new object sees the file as it is now.
    char16_t buffer[64];
    const uint32_t copied = ProfileFile(path).ReadString(u"S", u"key", u"", buffer, 64);
    EXPECT_EQ(std::u16string(buffer, copied), u"second, longer value");
}

}  // namespace
