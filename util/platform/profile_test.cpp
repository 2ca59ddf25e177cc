// The profile reader's buffer contract: the exact list it copies and the answers it gives when
// the caller's buffer is too small, which the settings-file service's growing buffer relies on.

#include "util/platform/profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/testing/scratch_dir.h"

namespace {

class ProfileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        scratch_.WriteFile("p.ini",
                           "[S]\r\n a = 1 \r\n; note\r\nflag\r\n[T]\r\nk=\"long value\"\r\n");
        file_ = scratch_.Wide("p.ini").View();
    }
    util_testing::ScratchDir scratch_;
    std::u16string file_;
};

TEST_F(ProfileTest, SectionListAndTruncation) {
    const std::u16string full(u"a = 1\0flag\0\0", 12);
    struct Case {
        uint32_t size;
        uint32_t answer;
        std::u16string buffer;  // the first `size` characters after the call
    };
    const Case cases[] = {
        {64, 11, full},
        {12, 11, full},                                  // exactly fits
        {11, 9, std::u16string(u"a = 1\0fla\0\0", 11)},  // cut: size - 2, two zeros at the end
        {4, 2, std::u16string(u"a \0\0", 4)},
        {2, 0, std::u16string(u"\0\0", 2)},
        {1, 0, std::u16string(u"\0", 1)},
    };
    for (const Case& c : cases) {
        std::vector<char16_t> buffer(c.size, u'#');
        EXPECT_EQ(util_platform::ReadProfileSection(file_, u"s", buffer.data(), c.size), c.answer)
            << c.size;
        std::u16string got(buffer.data(), c.size);
        if (c.size >= full.size()) got.resize(full.size());
        EXPECT_TRUE(got == c.buffer.substr(0, got.size())) << c.size;
    }
}

TEST_F(ProfileTest, StringAndTruncation) {
    struct Case {
        const char16_t* section;
        const char16_t* key;
        uint32_t size;
        uint32_t answer;
        std::u16string text;
    };
    const Case cases[] = {
        {u"T", u"K", 64, 10, u"long value"},
        {u"T", u"k", 11, 10, u"long value"},  // exactly fits, still size - 1
        {u"T", u"k", 5, 4, u"long"},          // cut to size - 1
        {u"T", u"nope", 64, 3, u"def"},       // the fallback
        {u"T", u"nope", 3, 2, u"de"},
        {u"S", u" a ", 64, 1, u"1"},
    };
    for (const Case& c : cases) {
        std::vector<char16_t> buffer(c.size, u'#');
        EXPECT_EQ(util_platform::ReadProfileString(file_, c.section, c.key, u"def", buffer.data(),
                                                   c.size),
                  c.answer)
            << c.size;
        EXPECT_TRUE(std::u16string(buffer.data()) == c.text) << c.size;
    }
}

}  // namespace
