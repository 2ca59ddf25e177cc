#include "util/base/path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "util/testing/cstring_printer.h"
#include "util/testing/scratch_dir.h"

namespace {

TEST(CPath, AppendPutsExactlyOneSeparatorBetweenTheParts) {
    struct AppendCase {
        const char16_t* path;
        const char16_t* more;
        const char16_t* expected;
    };
    for (const AppendCase& c : std::vector<AppendCase>{
             {u"/opt/tool", u"x.ini", u"/opt/tool/x.ini"},
             {u"/opt/tool/", u"x.ini", u"/opt/tool/x.ini"},
             {u"/opt/tool/", u"/x.ini", u"/opt/tool/x.ini"},
             {u"/opt/tool", u"//locales/ja", u"/opt/tool/locales/ja"},
             {u"/", u"opt", u"/opt"},
             {u"", u"x.ini", u"x.ini"},
             {u"", u"/", u"/"},
             {u"/opt/tool", u"", u"/opt/tool"},
             {u"/opt/tool", nullptr, u"/opt/tool"},
             {u"/opt/tool", u"/", u"/opt/tool"},
             // A backslash is an ordinary file-name character on this platform.
             {u"/opt/tool\\", u"x", u"/opt/tool\\/x"},
         }) {
        CPath path(c.path);
        EXPECT_TRUE(path.Append(c.more));
        EXPECT_EQ(path, c.expected) << CString(c.path).ToUtf8();
    }
}

TEST(CPath, RemoveFileSpecAndAddBackslash) {
    struct RemoveCase {
        const char16_t* path;
        const char16_t* expected;
        bool changed;
    };
    for (const RemoveCase& c : std::vector<RemoveCase>{
             {u"/opt/tool/x.ini", u"/opt/tool", true},
             {u"/opt/tool/", u"/opt/tool", true},
             {u"/opt//tool", u"/opt", true},
             {u"/x", u"/", true},
             {u"/", u"/", false},
             {u"x", u"", true},
             {u"", u"", false},
             {u"a\\b", u"", true},
         }) {
        CPath path(c.path);
        EXPECT_EQ(path.RemoveFileSpec(), c.changed) << CString(c.path).ToUtf8();
        EXPECT_EQ(path, c.expected) << CString(c.path).ToUtf8();
    }

    struct AddCase {
        const char16_t* path;
        const char16_t* expected;
    };
    for (const AddCase& c : std::vector<AddCase>{
             {u"/opt/tool", u"/opt/tool/"},
             {u"/opt/tool/", u"/opt/tool/"},
             {u"", u""},
             {u"tool\\", u"tool\\/"},
         }) {
        CPath path(c.path);
        path.AddBackslash();
        EXPECT_EQ(path, c.expected);
    }
}

TEST(CPath, FileExists) {
    util_testing::ScratchDir dir;
    dir.WriteFile("present.txt", "x");
    std::filesystem::create_directory(dir.path() / "folder");
    std::filesystem::create_symlink(dir.path() / "gone", dir.path() / "dangling");
    std::filesystem::create_symlink(dir.path() / "present.txt", dir.path() / "link");
    struct ExistsCase {
        CString path;
        bool exists;
    };
    for (const ExistsCase& c : std::vector<ExistsCase>{
             {dir.Wide("present.txt"), true},
             {dir.Wide("folder"), true},
             {dir.Wide("link"), true},
             {dir.Wide("dangling"), false},
             {dir.Wide("missing.txt"), false},
             {dir.Wide("present.txt/below"), false},
             {u"", false},
         })
        EXPECT_EQ(CPath(c.path).FileExists(), c.exists) << c.path.ToUtf8();

    CPath built(dir.Wide());
    built.Append(u"folder");
    built.Append(u"new \u00FC\u00F1\u00EF.txt");
    EXPECT_FALSE(built.FileExists());
    dir.WriteFile("folder/new \xC3\xBC\xC3\xB1\xC3\xAF.txt", "");
    EXPECT_TRUE(built.FileExists());
}

}  // namespace
