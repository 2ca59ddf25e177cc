#include "util/common/cstring_util.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "util/testing/cstring_printer.h"

namespace cu = common::sdk::cstring_util;

namespace {

TEST(CStringUtil, SplitKeepsEmptyPiecesAndAppends) {
    // expected: behind the two pieces the list held before.
    for (auto [source, separator, expected] :
         std::vector<std::tuple<CString, char16_t, StringList>>{
             {u"a,,b", u',', {u"a", u"", u"b"}},
             {u",", u',', {u"", u""}},
             {u"", u',', {u""}},
             {u"no separator", u',', {u"no separator"}},
             {u"x\u3000y", u'\u3000', {u"x", u"y"}},
             {u"a\U0001F600b", u'\xDE00', {u"a\xD83D", u"b"}},  // splits by code unit
         }) {
        StringList pieces = {u"kept", u"too"};
        cu::Split(source, separator, &pieces);
        expected.insert(expected.begin(), {u"kept", u"too"});
        EXPECT_EQ(pieces, expected) << source.ToUtf8();
    }
}

TEST(CStringUtil, TrimEveryElement) {
    StringList list = {u"  a b ", u"\t\r\nx\n", u"", u"\u3000y\u2003", u"   "};
    cu::Trim(&list);
    EXPECT_EQ(list, (StringList{u"a b", u"x", u"", u"y", u""}));
    cu::Trim(nullptr);  // does nothing
}

TEST(CStringUtil, JoinBothForms) {
    // The empty list leaves the output as it was ("old").
    using S = const char16_t*;
    for (const auto& [list, separator, expected] : std::vector<std::tuple<StringList, S, S>>{
             {{u"a", u"b", u"c"}, u", ", u"a, b, c"},
             {{u"only"}, u", ", u"only"},
             {{u"", u""}, u";", u";"},
             {{u"a", u"b"}, nullptr, u"ab"},
             {{}, u",", u"old"},
         }) {
        CString out(u"old");
        cu::Join(list, separator, &out);
        EXPECT_EQ(out, expected);
        EXPECT_EQ(cu::Join(list, separator), list.empty() ? u"" : expected);
        cu::Join(list, separator, nullptr);  // result discarded, no crash
    }
}

TEST(CStringUtil, ReplaceRightCharsChangesOnlyTheTrailingRun) {
    for (const auto& [before, from, to, expected] :
         std::vector<std::tuple<const char16_t*, char16_t, char16_t, const char16_t*>>{
             {u"aabaa", u'a', u'b', u"aabbb"},
             {u"xxx", u'x', u'y', u"yyy"},
             {u"abc", u'x', u'y', u"abc"},
             {u"", u'x', u'y', u""},
         }) {
        CString text(before);
        const CString copy = text;
        cu::ReplaceRightChars(&text, from, to);
        EXPECT_EQ(text, expected);
        EXPECT_EQ(copy, before);  // a shared copy keeps its text
    }
    cu::ReplaceRightChars(nullptr, u'a', u'b');
}

}  // namespace
