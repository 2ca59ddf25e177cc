// The settings-file service, through real files: the pairs of a section as a map, single values,
// and the buffers that grow until the answer fits. One row per rule of the profile reader
// (comments, headers, quotes, encodings, line ends) pins what the portable reader answers on
// POSIX; on Windows the same rows run against the system's reader.

#include "util/files/inifile.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "util/files/inifile_internal.h"
#include "util/testing/scratch_dir.h"

namespace {

using namespace common::sdk;
using Pairs = std::map<std::string, std::string>;
using File = std::optional<std::string>;  // the content of a file; none: no file

// The text as UTF-16 with byte-order mark, little- or big-endian.
const auto Le = [](auto t) { return "\xFF\xFE" + util_testing::Utf16Bytes(t); };
const auto Be = [](auto t) { return "\xFE\xFF" + util_testing::Utf16Bytes(t, true); };

class IniFileTest : public ::testing::Test {
  protected:
    // The path of a file holding `bytes`, or of one that does not exist.
    CString Write(const File& bytes) {
        if (bytes) scratch_.WriteFile("t.ini", *bytes);
        return scratch_.Wide(bytes ? "t.ini" : "absent.ini");
    }
    // The pairs GetKeyValues adds to a map holding "old" = "1", or "false" when it answers false.
    Pairs Section(const File& file, const char16_t* section) {
        KeyValueMap values{{u"old", u"1"}};
        if (!inifile::GetKeyValues(Write(file), section, &values)) return {{"false", ""}};
        Pairs pairs;
        for (const auto& [key, value] : values) pairs[key.ToUtf8()] = value.ToUtf8();
        if (pairs["old"] == "1") pairs.erase("old");  // else it shows, changed or "" when gone
        return pairs;
    }
    util_testing::ScratchDir scratch_;
};

// When the file or the section is missing or has no entries the answer is false and the map is
// left alone. A long section is read through a buffer that grows until it fits.
TEST_F(IniFileTest, SectionPairs) {
    std::string longFile = "[S]\n";
    Pairs none = {{"false", ""}}, many;
    for (int i = 0; i < 500; ++i) {
        const std::string key = "key" + std::to_string(i);
        longFile += key + "=" + (many[key] = std::string(i % 40, 'v') + "!") + "\n";
    }
    const std::tuple<const char*, File, const char16_t*, Pairs> cases[] = {
        {"last wins, trimmed", "[S]\r\na = 1\r\nb=2\r\nb=3\r\n", u"S", {{"a", "1"}, {"b", "3"}}},
        {"no =, leading =, =", "[S]\nflag\n=x\nk=a=b\n", u"S", {{"flag", ""}, {"k", "a=b"}}},
        {"quotes kept, tab trims", "[S]\nq='x'\n\tk\t= v w\t", u"S", {{"q", "'x'"}, {"k", "v w"}}},
        {"first section only, any case", "[s]\na=1\n[T]\nb=2\n[S]\nc=3\n", u"S", {{"a", "1"}}},
        {"before any header", "x=1\n[S]\ny=2\n", u"", {{"x", "1"}}},
        {"; comment", "[S]\n; c=1\n \t;d=2\n#e=3\nf=4 ;k\n", u"S", {{"#e", "3"}, {"f", "4 ;k"}}},
        {"[ without ]", "[S]\n[C\nk=v\n", u"S", {{"[C", ""}, {"k", "v"}}},
        {"name to the last ], blanks around", "  [ a]b ] tail\nk=v\n", u"a]b", {{"k", "v"}}},
        {"CR alone, blank lines", "[S]\r\r\n\nk=v\rm=w", u"S", {{"k", "v"}, {"m", "w"}}},
        {"UTF-8", "\xEF\xBB\xBF[S]\nk=Gr\303\274\303\237e\n", u"S", {{"k", "Gr\303\274\303\237e"}}},
        {"UTF-16LE", Le(u"[S]\r\nk=\u20AC 5\r\n"), u"S", {{"k", "\xE2\x82\xAC 5"}}},
        {"UTF-16BE", Be(u"[S]\nk=\U0001F600\n"), u"S", {{"k", "\xF0\x9F\x98\x80"}}},
        {"no entries; a later one of the name is not read", "[S]\n;k\n[T]\n[S]\nk=v\n", u"S", none},
        {"a key of the section replaces its value", "[S]\nold=2\n", u"S", {{"old", "2"}}},
        {"missing file", std::nullopt, u"S", none},
        {"500 keys, more than the first buffer holds", longFile + "[T]\nz=1\n", u"S", many},
    };
    for (const auto& [what, file, section, pairs] : cases)
        EXPECT_EQ(Section(file, section), pairs) << what;
    // The buffer doubles (the growth no result shows) and gives up past 2^30 bytes.
    EXPECT_EQ(inifile::internal::NextBufferSize(1u << 29), 1u << 30);
    EXPECT_EQ(inifile::internal::NextBufferSize(1u << 30), 0u);
}

TEST_F(IniFileTest, GetStringValues) {
    const std::string x1000(1000, 'x'), x255 = x1000.substr(745);
    using Row = std::tuple<const char*, File, const char16_t*, const char16_t*, std::string>;
    const Row cases[] = {
        {"plain, names without regard to case", "[Sect]\nKeY = v w \n", u"sECT", u"key", "v w"},
        {"first of duplicate keys", "[S]\na=1\na=2\n", u"S", u"a", "1"},
        {"double quotes removed", "[S]\nk = \" a b \"\n", u"S", u"k", " a b "},
        {"single quotes removed, one pair only", "[S]\nk=''x''\n", u"S", u"k", "'x'"},
        {"unmatched quotes kept", "[S]\nk='x\"\n", u"S", u"k", "'x\""},
        {"lone quote kept", "[S]\nk=\"\n", u"S", u"k", "\""},
        {"commented key is absent", "[S]\n;k=v\n", u"S", u"k", ""},
        {"only the first section of a name", "[S]\na=1\n[S]\nk=v\n", u"S", u"k", ""},
        {"255 characters fill the first buffer", "[S]\nk=" + x255 + "\n", u"S", u"k", x255},
        {"1000 characters", "[S]\nk=" + x1000 + "\n", u"S", u"k", x1000},
        {"a missing file reads as one without sections", std::nullopt, u"S", u"k", ""},
    };
    for (const auto& [what, file, section, key, expected] : cases) {
        CString value(u"previous");
        EXPECT_TRUE(inifile::GetString(Write(file), section, key, &value) &&
                    value.ToUtf8() == expected)
            << what << ": " << value.ToUtf8();
    }
    EXPECT_TRUE(inifile::GetString(Write("[S]\nk=v\n"), u"S", u"k", nullptr));
}

}  // namespace
