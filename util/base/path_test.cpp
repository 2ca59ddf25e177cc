#include "util/base/path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <vector>

#include "util/testing/cstring_printer.h"
#include "util/testing/platform_constants.h"
#include "util/testing/scratch_dir.h"

namespace {

using util_testing::Native;

// The rows are written with '/'; each runs with the platform's separator in its place. Rows
// with a backslash run only where it is an ordinary character of a name, and rows with a
// doubled separator only on POSIX: shlwapi reads a leading "\\" as a server name and keeps
// a doubled separator (path_win32_test.cpp holds Windows' answers).
bool Skipped(const CString& row_text) {
    return util_testing::kSeparator != '/' &&
           (row_text.Find(u'\\') >= 0 || row_text.Find(u"//") >= 0);
}

TEST(CPath, AppendPutsExactlyOneSeparatorBetweenTheParts) {
    using S = const char16_t*;
    for (const auto& [start, more, expected] : std::vector<std::tuple<S, S, S>>{
             {u"/opt/tool", u"x.ini", u"/opt/tool/x.ini"},
             {u"/opt/tool/", u"x.ini", u"/opt/tool/x.ini"},
             {u"", u"x.ini", u"x.ini"},
             {u"/opt/tool", u"//locales/ja", u"/opt/tool/locales/ja"},
             {u"", u"/", u"/"},
             {u"/opt/tool", nullptr, u"/opt/tool"},  // POSIX: null is nothing to add
             // The last: a backslash is an ordinary character.
             {u"/opt/tool", u"/", u"/opt/tool"},
             {u"/opt/tool\\", u"x", u"/opt/tool\\/x"},
         }) {
        if (!more && util_testing::kSeparator != '/') continue;
        if (Skipped(CString(start) + more + expected)) continue;
        CPath path(Native(start));
        EXPECT_TRUE(path.Append(more ? Native(more).GetString() : nullptr));
        EXPECT_EQ(path.View(), Native(expected).View()) << CString(start).ToUtf8();
    }
}

TEST(CPath, RemoveFileSpecAndAddBackslash) {
    using S = const char16_t*;
    for (const auto& [start, removed, changed, with_separator] :
         std::vector<std::tuple<S, S, bool, S>>{
             {u"/opt/tool/x.ini", u"/opt/tool", true, u"/opt/tool/x.ini/"},
             {u"/opt/tool/", u"/opt/tool", true, u"/opt/tool/"},
             {u"/x", u"/", true, u"/x/"},
             {u"/opt//tool", u"/opt", true, u"/opt//tool/"},
             {u"/", u"/", false, u"/"},
             {u"x", u"", true, u"x/"},
             {u"", u"", false, u""},
             {u"a\\b", u"", true, u"a\\b/"},
         }) {
        if (Skipped(CString(start) + removed + with_separator)) continue;
        CPath path(Native(start)), added(Native(start));
        const bool answer = path.RemoveFileSpec();
        added.AddBackslash();
        EXPECT_EQ(std::make_tuple(answer, path.View(), added.View()),
                  std::make_tuple(changed, Native(removed).View(), Native(with_separator).View()))
            << CString(start).ToUtf8();
    }
}

TEST(CPath, FileExists) {
    util_testing::ScratchDir dir;
    dir.WriteFile("present.txt", "x");
    std::filesystem::create_directory(dir.path() / "folder");
    if (util_testing::kTestsMakeLinks) {
        std::filesystem::create_symlink(dir.path() / "gone", dir.path() / "dangling");
        std::filesystem::create_symlink(dir.path() / "present.txt", dir.path() / "link");
    }
    for (const auto& [name, exists] :
         std::vector<std::pair<const char*, bool>>{{"present.txt", true},
                                                   {"folder", true},
                                                   {"link", util_testing::kTestsMakeLinks},
                                                   {"dangling", false},
                                                   {"missing.txt", false},
                                                   {"present.txt/below", false}})
        EXPECT_EQ(CPath(dir.Wide(name)).FileExists(), exists) << name;
    EXPECT_FALSE(CPath(u"").FileExists());

    CPath built(dir.Wide());
    EXPECT_TRUE(built.Append(u"folder") && built.Append(u"new \u00FC\u00F1\u00EF.txt"));
    EXPECT_FALSE(built.FileExists());
    dir.WriteFile("folder/new \xC3\xBC\xC3\xB1\xC3\xAF.txt", "");
    EXPECT_TRUE(built.FileExists());
}

}  // namespace
