// White space is the Windows C runtime's on every platform: Trim, the address comparison's
// stripping and the settings reader's trimming all remove exactly the units msvcrt's iswspace
// counts, so a text gives the same answer on Windows and on POSIX.

#include <gtest/gtest.h>

#include <string>

#include "util/base/cstring.h"
#include "util/common/cstring_util.h"
#include "util/files/inifile.h"
#include "util/ipformat/ip_format.h"
#include "util/testing/cstring_printer.h"
#include "util/testing/scratch_dir.h"

namespace {

struct Unit {
    char16_t unit;
    const char* name;
    bool space;  // what the Windows runtime's iswspace answers
};

const Unit kNotable[] = {
    {0x0009, "tab", true},
    {0x000B, "vertical tab", true},
    {0x000D, "carriage return", true},
    {0x001C, "file separator", false},
    {0x001F, "unit separator", false},
    {0x0085, "next line", false},
    {0x00A0, "no-break space", true},
    {0x1680, "ogham space mark", true},
    {0x180E, "mongolian vowel separator", false},
    {0x2000, "en quad", true},
    {0x2007, "figure space", true},
    {0x200A, "hair space", true},
    {0x200B, "zero width space", false},
    {0x2028, "line separator", true},
    {0x202F, "narrow no-break space", true},
    {0x205F, "medium mathematical space", true},
    {0x3000, "ideographic space", true},
    {0xFEFF, "zero width no-break space", false},
};

// text with the unit on both sides.
CString Around(char16_t unit, const char16_t* text) {
    return CString(unit) + text + CString(unit);
}

TEST(WhiteSpace, TrimStripsExactlyTheWindowsRuntimesWhiteSpace) {
    for (const Unit& u : kNotable) {
        SCOPED_TRACE(u.name);
        const CString padded = Around(u.unit, u"x y");
        const CString expected = u.space ? CString(u"x y") : padded;
        CString trimmed = padded;
        EXPECT_EQ(trimmed.Trim(), expected);

        StringList list{padded};
        common::sdk::cstring_util::Trim(&list);
        EXPECT_EQ(list[0], expected);

        EXPECT_EQ(CIPFormat::IsSameIPAddress(Around(u.unit, u"192.0.2.1"), u"192.0.2.1"), u.space);
    }
}

TEST(WhiteSpace, SettingsReaderTrimsKeysAndValuesAlike) {
    util_testing::ScratchDir dir;
    std::u16string ini = u"\uFEFF[s]\r\n";
    for (size_t i = 0; i < std::size(kNotable); ++i) {
        const char16_t unit = kNotable[i].unit;
        if (unit == 0x000D || unit == 0x000B || unit == 0x2028 || unit == 0x2029)
            continue;  // line breaks end the line before the reader sees them
        ini += u"k" + std::u16string(1, static_cast<char16_t>(u'a' + i)) + unit + u"=" + unit +
               u"v" + unit + u"\r\n";
    }
    dir.WriteFile("t.ini", util_testing::Utf16Bytes(ini));
    KeyValueMap values;
    ASSERT_TRUE(common::sdk::inifile::GetKeyValues(dir.Wide("t.ini"), u"s", &values));
    for (size_t i = 0; i < std::size(kNotable); ++i) {
        const Unit& u = kNotable[i];
        if (u.unit == 0x000D || u.unit == 0x000B || u.unit == 0x2028 || u.unit == 0x2029) continue;
        SCOPED_TRACE(u.name);
        CString key(u"k");
        key += static_cast<char16_t>(u'a' + i);
        CString value(u"v");
        if (!u.space) {
            key += u.unit;
            value = Around(u.unit, u"v");
        }
        auto found = values.find(key);
        ASSERT_NE(found, values.end());
        EXPECT_EQ(found->second, value);
    }
}

}  // namespace
