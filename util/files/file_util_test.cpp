// Text files through real files: encoding detection, whole-file reading with uniform line
// ends, the text stream's marks and line ends, the log lines of failures, and the decoder.

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
#include <vector>

#include "util/files/file_access.h"
#include "util/files/text_codec.h"
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
    // The text as ReadFileToString and as ReadFileToStringDosNewline deliver it.
    const std::tuple<const char*, std::string, std::u16string, std::u16string> cases[] = {
        {"empty", "", u"", u""},
        {"only the UTF-16LE mark", kMark16, u"", u""},
        {"only the UTF-8 mark", kMark8, u"", u""},
        {"UTF-8 CR LF", kMark8 + "a\r\nb", u"a\nb", u"a\r\nb"},
        {"UTF-8 LF", kMark8 + "a\nb\n", u"a\nb\n", u"a\r\nb\r\n"},
        {"UTF-8 lone CR", kMark8 + "a\rb\r", u"a\nb\n", u"a\r\nb\r\n"},
        {"UTF-8 mixed", kMark8 + "\xC3\xA9\r\r\n\xF0\x9F\x98\x80", u"é\n\n\U0001F600",
         u"é\r\n\r\n\U0001F600"},
        {"UTF-16LE CR LF", kMark16 + Le(u"a\r\nb"), u"a\nb", u"a\r\nb"},
        {"UTF-16LE lone CR and LF", kMark16 + Le(u"€\rb\nc"), u"€\nb\nc", u"€\r\nb\r\nc"},
        {"UTF-16LE mark inside stays", kMark16 + Le(u"\uFEFFx"), u"\uFEFFx", u"\uFEFFx"},
        {"UTF-16LE odd trailing byte", kMark16 + Le(u"ab") + "c", u"ab\uFFFD", u"ab\uFFFD"},
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
    // Sequences and CR LF pairs straddling the reader's 1 MiB chunks arrive whole.
    std::string bytes = kMark8;
    std::u16string expected;
    for (int i = 0; i < 300000; ++i) {
        bytes += "ab\xC3\xA9\r\n\xF0\x9F\x98\x80\r";
        expected += u"abé\n\U0001F600\n";
    }
    CString text;
    ASSERT_TRUE(ReadFileToString(Write(bytes), &text));
    EXPECT_EQ(text.GetLength(), static_cast<int>(expected.size()));
    EXPECT_TRUE(text.View() == expected);
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

using internal::ByteEncoding;
using internal::DecodeText;
using internal::TextDecoder;

// The decoder underneath: malformed input, line ends, and the same result however the bytes are
// cut into chunks.

struct DecodeCase {
    const char* what;
    std::string bytes;
    ByteEncoding encoding;
    std::u16string expected;
};

constexpr ByteEncoding k8 = ByteEncoding::kUtf8, k16 = ByteEncoding::kUtf16Le;

const DecodeCase kCases[] = {
    {"CR LF, lone CR, CR CR LF", "a\r\nb\rc\r\r\nd\n\re", k8, u"a\nb\nc\n\nd\n\ne"},
    {"CR LF inside long ASCII runs", "0123456789abcdef\r\n0123456789abcdef\r", k8,
     u"0123456789abcdef\n0123456789abcdef\n"},
    {"two, three and four byte forms", "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80", k8,
     u"Grüß € \U0001F600"},
    {"invalid lead bytes", "\xC0\x80x\xFFy", k8, u"\uFFFD\uFFFDx\uFFFDy"},
    {"overlong three- and four-byte forms", "\xE0\x9F\xBF\xF0\x8F\xBF\xBF", k8,
     std::u16string(7, u'\uFFFD')},
    {"encoded surrogate", "\xED\xA0\x80z", k8, u"\uFFFD\uFFFD\uFFFDz"},
    {"above U+10FFFF", "\xF4\x90\x80\x80", k8, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"truncated sequence then ASCII", "\xE2\x82z", k8, u"\uFFFDz"},
    {"truncated sequence at the end", "ab\xF0\x9F\x98", k8, u"ab\uFFFD"},
    {"UTF-16 line ends", std::string("a\0\r\0\n\0b\0\r\0c\0", 12), k16, u"a\nb\nc"},
    {"UTF-16 surrogate pair", std::string("\x3D\xD8\x00\xDE!\0", 6), k16, u"\U0001F600!"},
    {"UTF-16 unpaired surrogates", std::string("\x3D\xD8x\0\x00\xDEy\0\x3D\xD8", 10), k16,
     u"\uFFFDx\uFFFDy\uFFFD"},
    {"UTF-16 odd trailing byte", std::string("a\0b", 3), k16, u"a\uFFFD"},
};

// Decodes bytes fed in chunks that end at the given offsets, passing on what was not consumed.
std::u16string DecodeInPieces(const std::string& bytes, ByteEncoding encoding,
                              std::vector<size_t> ends) {
    TextDecoder decoder(encoding);
    std::u16string out;
    std::string pending;
    ends.push_back(bytes.size());
    for (size_t i = 0, from = 0; i < ends.size(); from = ends[i++]) {
        pending.append(bytes, from, ends[i] - from);
        std::u16string piece(pending.size(), u'\0');
        size_t consumed = 0;
        piece.resize(decoder.Decode(reinterpret_cast<const uint8_t*>(pending.data()),
                                    pending.size(), i + 1 == ends.size(), piece.data(), &consumed));
        out += piece;
        pending.erase(0, consumed);
    }
    EXPECT_TRUE(pending.empty());
    return out;
}

// The same result for the whole input and wherever the chunks end.
TEST(TextDecoderTest, SameResultWhereverTheChunksEnd) {
    for (const DecodeCase& c : kCases) {
        EXPECT_TRUE(DecodeText(c.bytes, c.encoding) == c.expected) << c.what;
        for (size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            EXPECT_TRUE(DecodeInPieces(c.bytes, c.encoding, {cut}) == c.expected)
                << c.what << ", cut at " << cut;
            if (cut + 1 < c.bytes.size()) {
                EXPECT_TRUE(DecodeInPieces(c.bytes, c.encoding, {cut, cut + 1}) == c.expected)
                    << c.what << ", one-byte chunk at " << cut;
            }
        }
    }
}

TEST(TextDecoderTest, WithoutFoldingLineEndsPassUnchanged) {
    EXPECT_TRUE(DecodeText("a\r\nb\r", k8, false) == u"a\r\nb\r");
    EXPECT_TRUE(DecodeText(std::string("\r\0\n\0", 4), k16, false) == u"\r\n");
}

}  // namespace
