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
    EXPECT_EQ(out + u"|" + cu::Join({}, u", "), u"old|");
    cu::Join(list, u", ", &out);
    EXPECT_EQ(out + u"|" + cu::Join(list, nullptr), u"a b, x, , y, |a bxy");
    cu::Join(list, u", ", nullptr);  // result discarded, no crash

    CString text(u"aabaa"), all(u"aaa"), none(u"abc"), empty;
    const CString copy = text;
    for (CString* t : {&text, &all, &none, &empty, static_cast<CString*>(nullptr)})
        cu::ReplaceRightChars(t, u'a', u'b');
    EXPECT_EQ(text + u"|" + all + u"|" + none + u"|" + empty, u"aabbb|bbb|abc|");
    EXPECT_EQ(copy, u"aabaa");  // a shared copy keeps its text
}

}  // namespace
