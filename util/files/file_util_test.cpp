// Text files through real files: encoding detection, whole-file reading with uniform line
// ends, the text stream's marks and line ends, and the log lines of failures.

#include "util/files/file_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <string>

#include "util/logging/logging.h"
#include "util/platform/codepage.h"
#include "util/testing/scratch_dir.h"

namespace {

using namespace common::sdk::file_util;
using util_testing::ReadFileBytes;

const std::string kMark8 = "\xEF\xBB\xBF", kMark16 = "\xFF\xFE";

// UTF-16LE bytes of a text (ASCII or BMP only, as the tests need).
std::string Le(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) bytes += {char(unit & 0xFF), char(unit >> 8)};
    return bytes;
}

class FileUtilTest : public ::testing::Test {
  protected:
    CPath Write(const std::string& bytes, const std::string& name = "t.txt") {
        scratch_.WriteFile(name, bytes);
        return CPath(scratch_.Wide(name));
    }
    util_testing::ScratchDir scratch_;
};

TEST_F(FileUtilTest, DetectsEncodingFromFirstThreeBytes) {
    const std::pair<std::string, Encoding> cases[] = {
        {"", kAnsi},         {"\xFF\xFE", kUtf16Le},      {"\xFF\xFE\xBF", kUtf16Le},
        {"\xEF\xBB", kAnsi}, {"\xEF\xBB\xBF", kUtf8},     {"\xEF\xBB\xBFxyz", kUtf8},
        {"plain", kAnsi},    {{"\xFE\xFF\0a", 4}, kAnsi},  // big-endian UTF-16 is not recognised
    };
    for (const auto& [bytes, expected] : cases) {
        Encoding encoding = kUnicode;
        EXPECT_TRUE(GetFileEncoding(Write(bytes), &encoding)) << bytes.size();
        EXPECT_EQ(encoding, expected) << bytes.size();
    }
    Encoding untouched = kUnicode;
    EXPECT_FALSE(GetFileEncoding(CPath(scratch_.Wide("absent.txt")), &untouched));
    EXPECT_EQ(untouched, kUnicode);
    EXPECT_TRUE(GetFileEncoding(Write("\xFF\xFE"), nullptr));
}

TEST_F(FileUtilTest, ReadsEachEncodingWithUniformLineEnds) {
    struct Case {
        const char* what;
        std::string bytes;
        std::u16string text, dos;
    };
    const Case cases[] = {
        {"empty", "", u"", u""},
        {"only the UTF-16LE mark", kMark16, u"", u""},
        {"only the UTF-8 mark", kMark8, u"", u""},
        {"UTF-8 CR LF", kMark8 + "a\r\nb", u"a\nb", u"a\r\nb"},
        {"UTF-8 LF", kMark8 + "a\nb\n", u"a\nb\n", u"a\r\nb\r\n"},
        {"UTF-8 lone CR", kMark8 + "a\rb\r", u"a\nb\n", u"a\r\nb\r\n"},
        {"UTF-8 mixed", kMark8 + "\xC3\xA9\r\r\n\xF0\x9F\x98\x80", u"é\n\n\U0001F600",
         u"é\r\n\r\n\U0001F600"},
        {"UTF-8 invalid bytes", kMark8 + "a\377b", u"a\uFFFDb", u"a\uFFFDb"},
        {"UTF-16LE CR LF", kMark16 + Le(u"a\r\nb"), u"a\nb", u"a\r\nb"},
        {"UTF-16LE lone CR and LF", kMark16 + Le(u"€\rb\nc"), u"€\nb\nc", u"€\r\nb\r\nc"},
        {"UTF-16LE mark inside stays", kMark16 + Le(u"\uFEFFx"), u"\uFEFFx", u"\uFEFFx"},
        {"UTF-16LE odd trailing byte", kMark16 + Le(u"ab") + "c", u"ab\uFFFD", u"ab\uFFFD"},
        {"ANSI line ends", "a\r\nb\rc\n", u"a\nb\nc\n", u"a\r\nb\r\nc\r\n"},
    };
    for (const Case& c : cases) {
        const CPath path = Write(c.bytes);
        CString text(u"old");
        EXPECT_TRUE(ReadFileToString(path, &text)) << c.what;
        EXPECT_TRUE(text.View() == c.text) << c.what << ": " << text.ToUtf8();
        EXPECT_TRUE(ReadFileToStringDosNewline(path, &text)) << c.what;
        EXPECT_TRUE(text.View() == c.dos) << c.what << ": " << text.ToUtf8();
        EXPECT_TRUE(ReadFileToString(path, nullptr)) << c.what;
    }
    // FE FF is no mark, so the bytes go through the code page, the zero bytes included.
    CString text;
    EXPECT_TRUE(ReadFileToString(Write(std::string("\xFE\xFF\0a\0\r\0\n", 8)), &text));
    EXPECT_NE(text.Find(u'a'), -1);
    EXPECT_EQ(text.Find(u'\r'), -1);
    EXPECT_NE(text.Find(u'\n'), -1);
}

TEST_F(FileUtilTest, ReadsAcrossChunkBoundaries) {
    // Sequences and CR LF pairs straddling the reader's 1 MiB chunks arrive whole.
    std::string bytes = kMark8;
    std::u16string expected, wide;
    for (int i = 0; i < 300000; ++i) {
        bytes += "ab\xC3\xA9\r\n\xF0\x9F\x98\x80\r";
        expected += u"abé\n\U0001F600\n";
    }
    CString text;
    ASSERT_TRUE(ReadFileToString(Write(bytes), &text));
    EXPECT_EQ(text.GetLength(), static_cast<int>(expected.size()));
    EXPECT_TRUE(text.View() == expected);
    for (int i = 0; i < 400000; ++i) wide += u"x\U0001F600\r\n";
    ASSERT_TRUE(ReadFileToString(Write(kMark16 + Le(wide)), &text));
    EXPECT_EQ(text.GetLength(), 400000 * 4);
    EXPECT_EQ(text.Mid(text.GetLength() - 4), CString(u"x\U0001F600\n"));
}

TEST_F(FileUtilTest, MissingFileAndFolderFailAndAreLogged) {
    const CPath missing(scratch_.Wide("absent.txt")), folder(scratch_.Wide(""));
    Logging::Init(folder.GetString(), false);
    Logging::DebugLogEnabled(true);
    CString text(u"old");
    EXPECT_FALSE(ReadFileToString(missing, &text));
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_FALSE(ReadFileToStringDosNewline(missing, nullptr));
    EXPECT_FALSE(ReadFileToString(folder, &text));  // opens, but reading a folder fails
    Logging::Term();

    CString log, opened, read;
    ASSERT_TRUE(ReadFileToString(CPath(scratch_.Wide("Tessmar.log")), &log));
    opened.Format(u"Fail to open '%s', errno=%d\n", missing.GetString(), ENOENT);
    read.Format(u"Fail to read from '%s', errno=%d\n", folder.GetString(), EISDIR);
    EXPECT_NE(log.Find(opened), -1) << log.ToUtf8();
    EXPECT_NE(log.Find(read), -1) << log.ToUtf8();
}

TEST_F(FileUtilTest, OpenTextFileWritesMarksAndLineEnds) {
    struct Case {
        const char* what;
        std::optional<std::string> existing;  // none: no file
        const char16_t* mode;
        Encoding asked, used;
        std::string expected;
    };
    const std::string le = kMark16 + Le(u"old\r\n"), utf8 = kMark8 + "a\r\n\xC3\xA9";
    const std::string ansi = "a\r\n" + util_platform::AnsiFromWide(u"é");  // thread's code page
    const Case cases[] = {
        {"new UTF-8 file", std::nullopt, u"w", kUtf8, kUtf8, utf8},
        {"new UTF-16LE file", std::nullopt, u"w", kUtf16Le, kUtf16Le, kMark16 + Le(u"a\r\né")},
        {"new Unicode file", std::nullopt, u"wt", kUnicode, kUnicode, kMark16 + Le(u"a\r\né")},
        {"new ANSI file", std::nullopt, u"w", kAnsi, kAnsi, ansi},
        {"binary mode", std::nullopt, u"wb", kUtf8, kUtf8, kMark8 + "a\n\xC3\xA9"},
        {"append creates", std::nullopt, u"a", kUtf8, kUtf8, utf8},
        {"existing file without mark wins", "x", u"w", kUtf8, kAnsi, ansi},
        {"existing UTF-16LE file appended", le, u"a", kAnsi, kUtf16Le, le + Le(u"a\r\né")},
        {"existing UTF-8 file rewritten", kMark8 + "old", u"w+", kAnsi, kUtf8, utf8},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "w" + std::to_string(n++) + ".txt";
        if (c.existing) Write(*c.existing, name);
        TextFilePtr file = OpenTextFile(CPath(scratch_.Wide(name)), c.mode, c.asked);
        ASSERT_TRUE(file) << c.what;
        EXPECT_EQ(file->GetEncoding(), c.used) << c.what;
        EXPECT_TRUE(file->Write(u"a\né")) << c.what;
        EXPECT_TRUE(file->Close()) << c.what;
        EXPECT_EQ(ReadFileBytes(scratch_.path() / name), c.expected) << c.what;
    }
}

TEST_F(FileUtilTest, OpenTextFileReadsLinesAndRefusesBadRequests) {
    const CPath path = Write(kMark8 + "x\r\ny\rz\n\xC3\xA9");
    TextFilePtr file = OpenTextFile(path, u"r", kAnsi);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetEncoding(), kUtf8);
    CString line;
    for (const char16_t* expected : {u"x\n", u"y\rz\n", u"é"}) {  // a lone CR stays in a stream
        EXPECT_TRUE(file->ReadLine(&line));
        EXPECT_EQ(line, CString(expected));
    }
    EXPECT_FALSE(file->ReadLine(&line));
    EXPECT_TRUE(file->IsEof());
    EXPECT_FALSE(file->Write(u"no"));  // opened for reading only

    TextFilePtr binary = OpenTextFile(Write(kMark16 + Le(u"a\r\nb"), "b.txt"), u"rb", kAnsi);
    ASSERT_TRUE(binary);
    CString all;
    EXPECT_TRUE(binary->ReadAll(&all));
    EXPECT_EQ(all, CString(u"a\r\nb"));

    // Reading and writing on one stream: the write lands after what was read.
    TextFilePtr both = OpenTextFile(Write(kMark8 + "1\n2\n", "rw.txt"), u"r+", kAnsi);
    ASSERT_TRUE(both);
    EXPECT_TRUE(both->ReadLine(&line));
    EXPECT_TRUE(both->Write(u"X"));
    both.reset();
    EXPECT_EQ(ReadFileBytes(scratch_.path() / "rw.txt"), kMark8 + "1\nX\n");

    for (const char16_t* mode : {u"", u"x", u"rw", u"r++", u"rbt", u"r, ccs=UTF-8"})
        EXPECT_FALSE(OpenTextFile(path, mode, kUtf8)) << CString(mode).ToUtf8();
    EXPECT_FALSE(OpenTextFile(CPath(scratch_.Wide("absent.txt")), u"r", kUtf8));
}

}  // namespace
