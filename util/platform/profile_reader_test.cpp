// The portable settings-file reader's buffer contract, which the settings-file service's
// growing buffer relies on: the exact list it copies and its answers when the caller's buffer is
// too small. (On Windows the system's profile API answers instead; the Windows-only
// win32/profile_reader_test.cpp sets the two side by side.)

#include "util/platform/profile_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

const char kFile[] = "[S]\r\n a = 1 \r\n; note\r\nflag\r\n[T]\r\nk=\"long value\"\r\n";

// Rows: section, key (nullptr: the section's list), buffer size, answer, the buffer's first
// `size` units afterwards (at most the whole list). A list that does not fit is cut to size - 2
// and ends in two zeros; a value is cut to size - 1.
TEST(ProfileReaderBuffer, ListsAndValuesWholeOrCut) {
    using S = std::u16string;
    const std::tuple<const char16_t*, const char16_t*, uint32_t, uint32_t, S> rows[] = {
        {u"s", nullptr, 12, 11, S(u"a = 1\0flag\0\0", 12)},  // exactly fits
        {u"s", nullptr, 11, 9, S(u"a = 1\0fla\0\0", 11)},
        {u"s", nullptr, 2, 0, S(u"\0\0", 2)},
        {u"s", nullptr, 1, 0, S(u"\0", 1)},
        {u"T", u"K", 11, 10, S(u"long value\0", 11)},  // any case; exactly fits, still size - 1
        {u"T", u"k", 5, 4, S(u"long\0", 5)},
        {u"T", u"nope", 64, 3, S(u"def\0", 4)},  // the fallback
        {u"S", u" a ", 64, 1, S(u"1\0", 2)},
    };
    for (const auto& [section, key, size, answer, expected] : rows) {
        S buffer(size, u'#');
        EXPECT_EQ(key ? util_platform::ReadProfileStringText(kFile, section, key, u"def",
                                                             &buffer[0], size)
                      : util_platform::ReadProfileSectionText(kFile, section, &buffer[0], size),
                  answer)
            << size;
        EXPECT_TRUE(buffer.substr(0, expected.size()) == expected) << size;
    }
}

}  // namespace
