#include "util/common/cstring_util.h"

#include <gtest/gtest.h>

#include <vector>

#include "util/testing/cstring_printer.h"

namespace cu = common::sdk::cstring_util;

namespace {

TEST(CStringUtil, SplitKeepsEmptyPiecesAndAppends) {
    struct SplitCase {
        const char16_t* source;
        char16_t separator;
        StringList expected;
    };
    for (const SplitCase& c : std::vector<SplitCase>{
             {u"a,,b", u',', {u"a", u"", u"b"}},
             {u"a,", u',', {u"a", u""}},
             {u",a", u',', {u"", u"a"}},
             {u",", u',', {u"", u""}},
             {u"", u',', {u""}},
             {u"no separator", u',', {u"no separator"}},
             {u"x\u3000y", u'\u3000', {u"x", u"y"}},
             {u"a\U0001F600b",
              u'\xD83D',
              {u"a",
               u"\xDE00"
               u"b"}},  // splits by code unit
         }) {
        StringList pieces = {u"kept", u"too"};
        cu::Split(c.source, c.separator, &pieces);
        StringList expected = {u"kept", u"too"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(pieces, expected) << CString(c.source).ToUtf8();
    }
}

TEST(CStringUtil, TrimEveryElement) {
    StringList list = {u"  a b ", u"\t\r\nx\n", u"", u"\u3000y\u2003", u"   "};
    cu::Trim(&list);
    EXPECT_EQ(list, (StringList{u"a b", u"x", u"", u"y", u""}));
    cu::Trim(nullptr);  // does nothing
}

TEST(CStringUtil, JoinBothForms) {
    struct JoinCase {
        StringList list;
        const char16_t* separator;
        const char16_t* expected;
    };
    for (const JoinCase& c : std::vector<JoinCase>{
             {{u"a", u"b", u"c"}, u", ", u"a, b, c"},
             {{u"only"}, u", ", u"only"},
             {{u"", u""}, u";", u";"},
             {{u"a", u"b"}, u"", u"ab"},
             {{u"a", u"b"}, nullptr, u"ab"},
         }) {
        CString out(u"old");
        cu::Join(c.list, c.separator, &out);
        EXPECT_EQ(out, c.expected);
        EXPECT_EQ(cu::Join(c.list, c.separator), c.expected);
        cu::Join(c.list, c.separator, nullptr);  // result discarded, no crash
    }
    CString untouched(u"old");
    cu::Join(StringList{}, u",", &untouched);
    EXPECT_EQ(untouched, u"old");
    EXPECT_EQ(cu::Join(StringList{}, u","), u"");
}

TEST(CStringUtil, ReplaceRightCharsChangesOnlyTheTrailingRun) {
    struct ReplaceCase {
        const char16_t* text;
        char16_t from, to;
        const char16_t* expected;
    };
    for (const ReplaceCase& c : std::vector<ReplaceCase>{
             {u"aabaa", u'a', u'b', u"aabbb"},
             {u"xxx", u'x', u'y', u"yyy"},
             {u"x-x", u'x', u'y', u"x-y"},
             {u"abc", u'x', u'y', u"abc"},
             {u"", u'x', u'y', u""},
             {u"1.500", u'0', u' ', u"1.5  "},
         }) {
        CString text(c.text);
        const CString copy = text;
        cu::ReplaceRightChars(&text, c.from, c.to);
        EXPECT_EQ(text, c.expected);
        EXPECT_EQ(copy, c.text);  // a shared copy keeps its text
    }
    cu::ReplaceRightChars(nullptr, u'a', u'b');
}

}  // namespace
