// The portable settings-file reader's buffer contract, which the settings-file service's
// growing buffer relies on: the exact list it copies and its answers when the caller's buffer is
// too small. (On Windows the system's profile API answers instead; the Windows-only
// win32/profile_reader_test.cpp sets the two side by side.)

#include "util/platform/profile_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace {

const char kFile[] = "[S]\r\n a = 1 \r\n; note\r\nflag\r\n[T]\r\nk=\"long value\"\r\n";

TEST(ProfileReaderBuffer, SectionListWholeOrCutWithTwoZeros) {
    const std::u16string full(u"a = 1\0flag\0\0", 12);
    // The buffer's first `size` characters after the call (at most the full list).
    const std::tuple<uint32_t, uint32_t, std::u16string> cases[] = {
        {12, 11, full},                    // exactly fits
        {11, 9, {u"a = 1\0fla\0\0", 11}},  // cut: size - 2, two zeros at the end
        {2, 0, {u"\0\0", 2}},
        {1, 0, {u"\0", 1}},
    };
    for (const auto& [size, answer, expected] : cases) {
        std::vector<char16_t> buffer(size, u'#');
        EXPECT_EQ(util_platform::ReadProfileSectionText(kFile, u"s", buffer.data(), size), answer)
            << size;
        const std::u16string got(buffer.data(), std::min<size_t>(size, full.size()));
        EXPECT_TRUE(got == expected.substr(0, got.size())) << size;
    }
}

TEST(ProfileReaderBuffer, StringCutToSizeMinusOne) {
    const std::tuple<const char16_t*, const char16_t*, uint32_t, uint32_t, std::u16string> cases[] =
        {
            {u"T", u"K", 11, 10, u"long value"},  // any case; exactly fits, still size - 1
            {u"T", u"k", 5, 4, u"long"},          // cut to size - 1
            {u"T", u"nope", 64, 3, u"def"},       // the fallback
            {u"S", u" a ", 64, 1, u"1"},
        };
    for (const auto& [section, key, size, answer, text] : cases) {
        std::vector<char16_t> buffer(size, u'#');
        EXPECT_EQ(
            util_platform::ReadProfileStringText(kFile, section, key, u"def", buffer.data(), size),
            answer)
            << size;
        EXPECT_TRUE(std::u16string(buffer.data()) == text) << size;
    }
}

}  // namespace
