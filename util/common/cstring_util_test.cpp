#include "util/common/cstring_util.h"

#include <gtest/gtest.h>

#include "util/testing/cstring_printer.h"

namespace cu = common::sdk::cstring_util;

namespace {

TEST(CStringUtil, SplitTrimJoinAndReplaceRightChars) {
    // Split appends behind what the list holds; every separator splits, a code unit too.
    StringList list = {u"kept"};
    cu::Split(u",a,,b,", u',', &list);
    cu::Split(u"", u',', &list);
    cu::Split(u"x\U0001F600y", u'\xDE00', &list);
    EXPECT_EQ(list, (StringList{u"kept", u"", u"a", u"", u"b", u"", u"", u"x\xD83D", u"y"}));

    list = {u"  a b ", u"\t\r\nx\n", u"", u"\u3000y\u2003", u"   "};
    cu::Trim(&list);
    cu::Trim(nullptr);  // does nothing
    EXPECT_EQ(list, (StringList{u"a b", u"x", u"", u"y", u""}));

    CString out(u"old");
    cu::Join({}, u", ", &out);  // an empty list leaves the output as it was
    EXPECT_EQ(out, u"old");
    EXPECT_EQ(cu::Join({}, u", "), u"");
    cu::Join(list, u", ", &out);
    EXPECT_EQ(out, u"a b, x, , y, ");
    EXPECT_EQ(cu::Join(list, nullptr), u"a bxy");
    cu::Join(list, u", ", nullptr);  // result discarded, no crash

    using S = const char16_t*;
    for (const auto& [before, expected] : std::initializer_list<std::pair<S, S>>{
             {u"aabaa", u"aabbb"}, {u"aaa", u"bbb"}, {u"abc", u"abc"}, {u"", u""}}) {
        CString text(before);
        const CString copy = text;
        cu::ReplaceRightChars(&text, u'a', u'b');
        EXPECT_EQ(text, expected);
        EXPECT_EQ(copy, before);  // a shared copy keeps its text
    }
    cu::ReplaceRightChars(nullptr, u'a', u'b');
}

}  // namespace
