// CPath on Windows gives shlwapi's answers (PathAppendW, PathRemoveFileSpecW,
// PathAddBackslashW), where they differ from a plain join too: ".." is resolved, a drive or
// server path replaces, a doubled separator stays.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "util/base/path.h"
#include "util/testing/cstring_printer.h"

namespace {

using S = const char16_t*;

TEST(CPathWin32, AppendGivesPathAppendWsAnswer) {
    for (const auto& [start, more, answer, expected] : std::vector<std::tuple<S, S, bool, S>>{
             {u"C:\\Tool", u"..\\x", true, u"C:\\x"},
             {u"C:\\Tool", u".\\x", true, u"C:\\Tool\\x"},
             {u"C:\\", u"..", true, u"C:\\"},
             {u"C:\\Tool", u"D:\\x", true, u"D:\\x"},
             {u"C:\\Tool", u"\\\\srv\\s\\x", true, u"\\\\srv\\s\\x"},
             {u"C:\\Tool", u"\\x.ini", true, u"C:\\Tool\\x.ini"},
             {u"C:\\Tool\\", u"x.ini", true, u"C:\\Tool\\x.ini"},
             {u"\\\\srv\\share", u"x", true, u"\\\\srv\\share\\x"},
             {u"C:\\Tool", nullptr, false, u"C:\\Tool"},
         }) {
        CPath path(start);
        EXPECT_EQ(path.Append(more), answer) << CString(start).ToUtf8();
        EXPECT_EQ(path, expected) << CString(start).ToUtf8();
    }
}

TEST(CPathWin32, RemoveFileSpecAndAddBackslashGiveShlwapisAnswers) {
    for (const auto& [start, changed, removed, added] : std::vector<std::tuple<S, bool, S, S>>{
             {u"\\\\srv\\share\\x", true, u"\\\\srv\\share", u"\\\\srv\\share\\x\\"},
             {u"C:\\x", true, u"C:\\", u"C:\\x\\"},
             {u"C:\\", false, u"C:\\", u"C:\\"},
             {u"C:\\opt\\\\tool", true, u"C:\\opt\\", u"C:\\opt\\\\tool\\"},
             {u"C:x", true, u"C:", u"C:x\\"},
             {u"a\\b", true, u"a", u"a\\b\\"},
         }) {
        CPath path(start), with(start);
        EXPECT_EQ(path.RemoveFileSpec(), changed) << CString(start).ToUtf8();
        EXPECT_EQ(path, removed) << CString(start).ToUtf8();
        with.AddBackslash();
        EXPECT_EQ(with, added) << CString(start).ToUtf8();
    }
    CPath slash(u"x/");
    slash.AddBackslash();  // only a backslash ends a path for PathAddBackslashW
    EXPECT_EQ(slash, u"x/\\");
}

TEST(CPathWin32, PathsBeyondTheBufferAreRefusedUnchanged) {
    const CPath longPath(CString(u"C:\\") + CString(u'a', 300));
    CPath path(longPath);
    EXPECT_FALSE(path.Append(u"x"));
    EXPECT_FALSE(path.RemoveFileSpec());
    path.AddBackslash();
    EXPECT_EQ(path, longPath);
    CPath nearly(CString(u"C:\\") + CString(u'a', 250));
    EXPECT_FALSE(nearly.Append(u"bbbbbbbbbbbb"));  // the result would not fit
    EXPECT_EQ(nearly.GetLength(), 253);
}

}  // namespace
