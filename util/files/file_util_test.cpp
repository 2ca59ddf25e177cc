// Text files through real files: encoding detection, whole-file reading with uniform line
// ends and malformed input, the text stream's marks and line ends, the log lines of failures.

#include "util/files/file_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

#include "util/files/file_access.h"
#include "util/files/text_codec.h"
#include "util/logging/logging.h"
#include "util/platform/codepage.h"
#include "util/platform/file.h"
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
    // The text as ReadFileToString and as ReadFileToStringDosNewline deliver it.
    const std::tuple<const char*, std::string, std::u16string, std::u16string> cases[] = {
        {"empty", "", u"", u""},
        {"only the UTF-16LE mark", kMark16, u"", u""},
        {"only the UTF-8 mark", kMark8, u"", u""},
        {"UTF-8 CR LF", kMark8 + "a\r\nb", u"a\nb", u"a\r\nb"},
        {"UTF-8 LF", kMark8 + "a\nb\n", u"a\nb\n", u"a\r\nb\r\n"},
        {"UTF-8 lone CR", kMark8 + "a\rb\r", u"a\nb\n", u"a\r\nb\r\n"},
        {"UTF-8 mixed", kMark8 + "\xC3\xA9\r\r\n\xE2\x82\xAC\n\r\xF0\x9F\x98\x80",
         u"é\n\n€\n\n\U0001F600", u"é\r\n\r\n€\r\n\r\n\U0001F600"},
        {"UTF-8 CR LF inside long ASCII runs", kMark8 + "0123456789abcdef\r\n0123456789abcdef\r",
         u"0123456789abcdef\n0123456789abcdef\n", u"0123456789abcdef\r\n0123456789abcdef\r\n"},
        // One U+FFFD per maximal ill-formed sequence.
        {"UTF-8 invalid lead bytes", kMark8 + "\xC0\x80x\xFFy", u"\uFFFD\uFFFDx\uFFFDy",
         u"\uFFFD\uFFFDx\uFFFDy"},
        {"UTF-8 overlong forms", kMark8 + "\xE0\x9F\xBF\xF0\x8F\xBF\xBF",
         std::u16string(7, u'\uFFFD'), std::u16string(7, u'\uFFFD')},
        {"UTF-8 encoded surrogate", kMark8 + "\xED\xA0\x80z", u"\uFFFD\uFFFD\uFFFDz",
         u"\uFFFD\uFFFD\uFFFDz"},
        {"UTF-8 above U+10FFFF", kMark8 + "\xF4\x90\x80\x80", std::u16string(4, u'\uFFFD'),
         std::u16string(4, u'\uFFFD')},
        {"UTF-8 truncated sequence then ASCII", kMark8 + "\xE2\x82z", u"\uFFFDz", u"\uFFFDz"},
        {"UTF-8 truncated sequence at the end", kMark8 + "ab\xF0\x9F\x98", u"ab\uFFFD",
         u"ab\uFFFD"},
        {"UTF-16LE CR LF", kMark16 + Le(u"a\r\nb"), u"a\nb", u"a\r\nb"},
        {"UTF-16LE lone CR and LF", kMark16 + Le(u"€\rb\nc"), u"€\nb\nc", u"€\r\nb\r\nc"},
        {"UTF-16LE mark inside stays", kMark16 + Le(u"\uFEFFx"), u"\uFEFFx", u"\uFEFFx"},
        {"UTF-16LE odd trailing byte", kMark16 + Le(u"ab") + "c", u"ab\uFFFD", u"ab\uFFFD"},
        {"UTF-16LE surrogates, paired and not", kMark16 + Le(u"\U0001F600\xD83Dx\xDE00y\xD83D"),
         u"\U0001F600\uFFFDx\uFFFDy\uFFFD", u"\U0001F600\uFFFDx\uFFFDy\uFFFD"},
        {"ANSI line ends", "a\r\nb\rc\n", u"a\nb\nc\n", u"a\r\nb\r\nc\r\n"},
    };
    for (const auto& [what, bytes, expected, dos] : cases) {
        const CPath path = Write(bytes);
        CString text(u"old");
        EXPECT_TRUE(ReadFileToString(path, &text)) << what;
        EXPECT_TRUE(text.View() == expected) << what << ": " << text.ToUtf8();
        EXPECT_TRUE(ReadFileToStringDosNewline(path, &text)) << what;
        EXPECT_TRUE(text.View() == dos) << what << ": " << text.ToUtf8();
        EXPECT_TRUE(ReadFileToString(path, nullptr)) << what;
    }
    // FE FF is no mark, so the bytes go through the code page, the zero bytes included.
    CString text;
    EXPECT_TRUE(ReadFileToString(Write(std::string("\xFE\xFF\0a\0\r\0\n", 8)), &text));
    EXPECT_NE(text.Find(u'a'), -1);
    EXPECT_EQ(text.Find(u'\r'), -1);
    EXPECT_NE(text.Find(u'\n'), -1);
}

TEST_F(FileUtilTest, ReadsAcrossChunkBoundaries) {
    // Sequences, surrogate pairs and CR LF pairs straddling the reader's 1 MiB chunks arrive
    // whole: the repeated piece puts the chunk ends at different places within it.
    const std::u16string piece = u"ab\u00E9\r\n\U0001F600\rx";
    const std::string utf8Piece = "ab\xC3\xA9\r\n\xF0\x9F\x98\x80\r";
    const std::u16string expected8 = u"ab\u00E9\n\U0001F600\n",
                         expected16 = u"ab\u00E9\n\U0001F600\nx";
    for (const bool utf8 : {true, false}) {
        std::string bytes = utf8 ? kMark8 : kMark16;
        std::u16string expected;
        for (int i = 0; i < 300000; ++i) {
            bytes += utf8 ? utf8Piece : Le(piece);
            expected += utf8 ? expected8 : expected16;
        }
        CString text;
        ASSERT_TRUE(ReadFileToString(Write(bytes), &text)) << utf8;
        EXPECT_EQ(text.GetLength(), static_cast<int>(expected.size())) << utf8;
        EXPECT_TRUE(text.View() == expected) << utf8;
    }
}

// A missing file and a folder both fail at the open: every output stays as it was, and the one
// line written is "Fail to open" through Logging::Debug, so nothing with debug logging off.
TEST_F(FileUtilTest, MissingFileAndFolderFailAtTheOpen) {
    const struct {
        const char* name;
        std::function<bool(const CPath& path)> fails;  // as documented, outputs untouched
        bool folderOnly;                               // (the call creates a missing file)
    } calls[] = {
        {"GetFileEncoding",
         [](const CPath& p) {
             Encoding encoding = kUnicode;
             return !GetFileEncoding(p, &encoding) && encoding == kUnicode;
         },
         false},
        {"ReadFileToString",
         [](const CPath& p) {
             CString text(u"old");
             return !ReadFileToString(p, &text) && text.IsEmpty();
         },
         false},
        {"ReadFileToStringDosNewline",
         [](const CPath& p) {
             CString text(u"old");
             return !ReadFileToStringDosNewline(p, &text) && text.IsEmpty();
         },
         false},
        {"OpenTextFile r", [](const CPath& p) { return !OpenTextFile(p, u"r", kUtf8); }, false},
        {"OpenTextFile w", [](const CPath& p) { return !OpenTextFile(p, u"w", kUtf8); }, true},
        {"OpenTextFile a+", [](const CPath& p) { return !OpenTextFile(p, u"a+", kAnsi); }, true},
    };
    std::filesystem::create_directory(scratch_.path() / "folder");
    const CPath missing(scratch_.Wide("absent.txt")), folder(scratch_.Wide("folder"));
    for (const bool debug : {true, false}) {
        for (const CPath* path : {&missing, &folder}) {
            for (const auto& call : calls) {
                if (call.folderOnly && path == &missing) continue;
                SCOPED_TRACE(std::string(call.name) + " on " + path->ToUtf8() +
                             (debug ? ", debug on" : ", debug off"));
                util_testing::ScratchDir logs;
                Logging::Init(logs.Wide(), false);
                Logging::DebugLogEnabled(debug);
                EXPECT_TRUE(call.fails(*path));
                Logging::Term();
                Logging::DebugLogEnabled(false);
                CString log;
                ASSERT_TRUE(ReadFileToString(CPath(logs.Wide("Tessmar.log")), &log));
                const CString line = u"] Fail to open '" + *path + u"', errno=";
                const int at = log.Find(line);
                if (!debug) {
                    EXPECT_EQ(log, CString(u"Tessmar.log\n"));
                    continue;
                }
                ASSERT_NE(at, -1) << log.ToUtf8();
                // The number, the message's own LF and the log's line end, then nothing more.
                const CString rest = log.Mid(at + line.GetLength());
                EXPECT_GT(std::stoi(rest.ToUtf8()), 0) << log.ToUtf8();
                EXPECT_EQ(rest.Mid(rest.Find(u'\n')), CString(u"\n\n")) << log.ToUtf8();
            }
        }
    }
}

// While a file is open through a handle, a text stream or the log, other openers may read it
// but not write it, whichever interface either side uses. A refused writer truncates nothing.
TEST_F(FileUtilTest, TextStreamsAndHandlesMeetTheSameShareModes) {
    CFileAccess files;
    // Each opener answers whether it got in, and closes what it opened.
    using Opener = std::function<bool(const CPath& path)>;
    auto handle = [&files](FileMode mode) -> Opener {
        return [&files, mode](const CPath& p) {
            FileHandle h = files.FA_OpenFile(p, mode);
            return h && files.FA_CloseFile(h);
        };
    };
    auto stream = [](const char16_t* mode) -> Opener {
        return [mode](const CPath& p) { return OpenTextFile(p, mode, kAnsi) != nullptr; };
    };
    const struct {
        const char* name;
        Opener open;
        bool writes;
    } others[] = {
        {"text w", stream(u"w"), true},         {"text a", stream(u"a"), true},
        {"text r+", stream(u"r+"), true},       {"FM_Create", handle(FM_Create), true},
        {"FM_Append", handle(FM_Append), true}, {"text r", stream(u"r"), false},
        {"FM_Read", handle(FM_Read), false},
    };
    // The holder, kept open while the others try; whether it writes.
    const struct {
        const char* name;
        std::function<std::shared_ptr<void>(const CPath& path)> hold;
        bool writes;
    } holders[] = {
        {"handle FM_Read",
         [&files](const CPath& p) {
             return std::shared_ptr<void>(files.FA_OpenFile(p, FM_Read),
                                          [&files](void* h) { files.FA_CloseFile(h); });
         },
         false},
        {"handle FM_Append",
         [&files](const CPath& p) {
             return std::shared_ptr<void>(files.FA_OpenFile(p, FM_Append),
                                          [&files](void* h) { files.FA_CloseFile(h); });
         },
         true},
        {"text stream r",
         [](const CPath& p) { return std::shared_ptr<void>(OpenTextFile(p, u"r", kAnsi)); }, false},
        {"text stream a",
         [](const CPath& p) { return std::shared_ptr<void>(OpenTextFile(p, u"a", kAnsi)); }, true},
        {"the live log",
         [](const CPath& p) {
             CPath folder(p);
             folder.RemoveFileSpec();
             Logging::Init(folder, true);
             return Logging::IsInitialized()
                        ? std::shared_ptr<void>(nullptr, [](void*) { Logging::Term(); })
                        : nullptr;
         },
         true},
    };
    for (const auto& holder : holders) {
        const CPath path = Write("content\r\n", "Tessmar.log");
        std::shared_ptr<void> held = holder.hold(path);
        ASSERT_TRUE(held || Logging::IsInitialized()) << holder.name;
        const std::string before = ReadFileBytes(scratch_.path() / "Tessmar.log");
        for (const auto& other : others) {
            SCOPED_TRACE(std::string(other.name) + " while held by " + holder.name);
            // A reader that itself lets others only read gets in only while no one writes.
            EXPECT_EQ(other.open(path), !other.writes && !holder.writes);
            EXPECT_EQ(ReadFileBytes(scratch_.path() / "Tessmar.log"), before);
        }
        // Readers that let others write always get in.
        uint32_t size = 0;
        EXPECT_EQ(files.FA_GetFileSize(path, &size), 1) << holder.name;
        CString text;
        EXPECT_NE(CFileAccess::makeDownloadDescList(path, 0, text), MDL_OpenFailed) << holder.name;
        held.reset();
        EXPECT_TRUE(stream(u"w")(path)) << holder.name << ": free again once closed";
    }
}

// A text longer than a CString can hold is refused with false and an empty text, never with an
// exception: tried here with the limit lowered to 100 units.
TEST_F(FileUtilTest, TextsPastTheLimitAreRefused) {
    auto times = [](const std::string& piece, int n) {
        std::string all;
        while (n-- > 0) all += piece;
        return all;
    };
    // The file's bytes, and the length of the text that ReadFileToString and
    // ReadFileToStringDosNewline deliver (-1: it answers false with an empty text).
    const std::tuple<const char*, std::string, int, int> cases[] = {
        {"ANSI at the limit", times("a", 100), 100, 100},
        {"ANSI past the limit", times("a", 101), -1, -1},
        {"ANSI CR LF folds to the limit", times("a\r\n", 50), 100, -1},
        {"ANSI LF past it when doubled", times("a\n", 40), 80, -1},
        {"ANSI LF within it when doubled", times("a\n", 20), 40, 60},
        {"UTF-8 at the limit", kMark8 + times("\xC3\xA9", 100), 100, 100},
        {"UTF-8 past the limit", kMark8 + times("a", 101), -1, -1},
        {"UTF-16LE past the limit", kMark16 + times(Le(u"\u20AC"), 101), -1, -1},
    };
    util_testing::ScratchDir logs;
    Logging::Init(logs.Wide(), false);
    internal::SetMaxTextUnitsForTesting(100);
    for (const auto& [what, bytes, length, dosLength] : cases) {
        SCOPED_TRACE(what);
        const CPath path = Write(bytes);
        CString text(u"old"), dos(u"old");
        EXPECT_EQ(ReadFileToString(path, &text), length >= 0);
        EXPECT_EQ(text.GetLength(), std::max(length, 0));
        EXPECT_EQ(ReadFileToStringDosNewline(path, &dos), dosLength >= 0);
        EXPECT_EQ(dos.GetLength(), std::max(dosLength, 0));
        EXPECT_EQ(ReadFileToString(path, nullptr), length >= 0);
    }
    internal::SetMaxTextUnitsForTesting(0);
    Logging::Term();
    CString log, line;
    ASSERT_TRUE(ReadFileToString(CPath(logs.Wide("Tessmar.log")), &log));
    line.Format(u"Fail to read from '%s', errno=%d\n", scratch_.Wide("t.txt").GetString(), EFBIG);
    EXPECT_NE(log.Find(line), -1) << log.ToUtf8();
}

// Faults of the file layer while reading: a read that fails part way answers false with the
// text read before it and logs "Fail to read from"; an open refused for too many open files
// answers false with the text empty and logs "Fail to open" (through Debug).
TEST_F(FileUtilTest, ReadFaultsAnswerFalseWithWhatWasRead) {
    using util_platform::InjectedFault;
    std::string line8, line16, lineAnsi;  // 3 MiB and more: several of the reader's chunks
    for (int i = 0; i < 3 * 1024 * 1024 / 16; ++i) {
        line8 += "line \xC3\xA9 0123456\r\n";
        line16 += Le(u"line \u00E9 01\r\n");
        lineAnsi += "line 0123456789\n";
    }
    const std::tuple<const char*, std::string, bool> cases[] = {
        {"UTF-8", kMark8 + line8, false},
        {"UTF-16LE", kMark16 + line16, false},
        {"ANSI", lineAnsi, false},
        {"UTF-8, open refused", kMark8 + line8, true},
    };
    util_testing::ScratchDir logs;
    Logging::Init(logs.Wide(), false);
    Logging::DebugLogEnabled(true);
    for (const auto& [what, bytes, openFails] : cases) {
        SCOPED_TRACE(what);
        const CPath path = Write(bytes);
        CString full, text(u"old");
        ASSERT_TRUE(ReadFileToString(path, &full));
        if (openFails)
            util_platform::FailOpensForTesting(0, InjectedFault::kTooManyOpenFiles);
        else  // fails in the middle of the file, after the encoding was told
            util_platform::FailReadsForTesting(int64_t(bytes.size() / 2), InjectedFault::kIoError);
        const bool result = ReadFileToString(path, &text);
        util_platform::FailReadsForTesting(-1, InjectedFault::kIoError);
        util_platform::FailOpensForTesting(-1, InjectedFault::kIoError);
        EXPECT_FALSE(result);
        EXPECT_EQ(text.IsEmpty(), openFails);
        EXPECT_LT(text.GetLength(), full.GetLength());
        EXPECT_EQ(full.Left(text.GetLength()), text) << "what was read before the failure";
    }
    // GetFileEncoding still tells the encoding of the bytes it got.
    Encoding encoding = kUtf8;
    util_platform::FailReadsForTesting(0, InjectedFault::kIoError);
    EXPECT_FALSE(GetFileEncoding(Write(kMark8 + "x"), &encoding));
    util_platform::FailReadsForTesting(-1, InjectedFault::kIoError);
    EXPECT_EQ(encoding, kAnsi);
    Logging::Term();
    Logging::DebugLogEnabled(false);

    CString log;
    ASSERT_TRUE(ReadFileToString(CPath(logs.Wide("Tessmar.log")), &log));
    // Three failed reads and GetFileEncoding's; one refused open.
    for (const auto& [failure, expected] :
         {std::pair<const char16_t*, int>{u"] Fail to read from '", 4}, {u"] Fail to open '", 1}}) {
        const CString line = failure + scratch_.Wide("t.txt") + u"', errno=";
        int count = 0;
        for (int at = log.Find(line); at >= 0; at = log.Find(line, at + 1)) ++count;
        EXPECT_EQ(count, expected) << line.ToUtf8();
    }
}

TEST_F(FileUtilTest, OpenTextFileWritesMarksAndLineEnds) {
    const std::string le = kMark16 + Le(u"old\r\n"), utf8 = kMark8 + "a\r\n\xC3\xA9";
    const std::string ansi = "a\r\n" + util_platform::AnsiFromWide(u"é");  // thread's code page
    // An existing file's content (none: no file), the mode, the encoding asked for and used.
    const std::tuple<const char*, std::optional<std::string>, const char16_t*, Encoding, Encoding,
                     std::string>
        cases[] = {
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
    for (const auto& [what, existing, mode, asked, used, expected] : cases) {
        const std::string name = "w" + std::to_string(n++) + ".txt";
        if (existing) Write(*existing, name);
        TextFilePtr file = OpenTextFile(CPath(scratch_.Wide(name)), mode, asked);
        ASSERT_TRUE(file) << what;
        EXPECT_EQ(file->GetEncoding(), used) << what;
        EXPECT_TRUE(file->Write(u"a\né")) << what;
        EXPECT_TRUE(file->Close()) << what;
        EXPECT_EQ(ReadFileBytes(scratch_.path() / name), expected) << what;
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
