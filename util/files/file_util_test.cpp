// Text files through real files: encoding detection, whole-file reading with uniform line
// ends and malformed input, the text stream's marks and line ends, the log lines of failures,
// and the share modes that every interface opening a file keeps.

#include "util/files/file_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include "util/base/utf.h"
#include "util/files/file_access.h"
#include "util/files/text_codec.h"
#include "util/logging/logging.h"
#include "util/platform/codepage.h"
#include "util/platform/environment.h"
#include "util/platform/file.h"
#include "util/testing/run_cli.h"
#include "util/testing/scratch_dir.h"

namespace {

using namespace common::sdk::file_util;
using util_platform::InjectedFault;
using util_testing::ReadFileBytes;
using namespace std::string_literals;

const std::string kMark8 = "\xEF\xBB\xBF", kMark16 = "\xFF\xFE";

const auto Le = [](std::u16string_view text) { return util_testing::Utf16Bytes(text); };

template <typename Text>
Text Repeat(const Text& piece, size_t times) {
    Text all;
    while (times-- > 0) all += piece;
    return all;
}

// How often line occurs in log (none of the lines counted can overlap itself).
const auto Count = [](CString log, const CString& line) { return log.Replace(line, u""); };

class FileUtilTest : public ::testing::Test {
  protected:
    void TearDown() override {
        Logging::Term();
        Logging::DebugLogEnabled(false);
    }
    CPath Write(const std::string& bytes, const std::string& name = "t.txt") {
        scratch_.WriteFile(name, bytes);
        return CPath(scratch_.Wide(name));
    }
    // The log of the failures, in a folder of its own, and what it holds once closed.
    void StartLog(bool on) {
        Logging::Init(logs_.Wide(), false);
        Logging::DebugLogEnabled(on);
    }
    CString StopLog() {
        TearDown();
        CString log;
        EXPECT_TRUE(ReadFileToString(CPath(logs_.Wide("Tessmar.log")), &log));
        return log;
    }
    util_testing::ScratchDir scratch_, logs_;
};

// A text longer than a CString can hold is refused with false and an empty text, never with an
// exception, and logged as a failed read: tried here with the limit lowered to 100 units.
TEST_F(FileUtilTest, DetectsAndReadsEachEncodingWithUniformLineEndsUpToTheLimit) {
    // The encoding told by the first three bytes, and the text as ReadFileToString delivers it;
    // ReadFileToStringDosNewline delivers it with CR LF for every LF. A mark cut short, or a
    // big-endian one, is no mark: the bytes go through the code page, zero bytes included.
    const std::u16string bad = u"\uFFFD";
    const std::string noMark("\xFE\xFF\0a", 4), halfMark = "\xEF\xBBx";
    const std::tuple<const char*, std::string, Encoding, std::u16string> cases[] = {
        {"empty", "", kAnsi, u""},
        {"only the UTF-16LE mark", kMark16, kUtf16Le, u""},
        {"only the UTF-8 mark", kMark8, kUtf8, u""},
        {"half a UTF-8 mark", halfMark, kAnsi, util_platform::WideFromAnsi(halfMark)},
        {"big-endian mark", noMark, kAnsi, util_platform::WideFromAnsi(noMark)},
        {"UTF-8 of every length; CR LF, LF, lone CR, CR CR LF",
         kMark8 + "a\r\nb\nc\r\xC3\xA9\r\r\n\xE2\x82\xAC\n\r\xF0\x9F\x98\x80", kUtf8,
         u"a\nb\nc\né\n\n€\n\n\U0001F600"},
        {"UTF-8 CR LF inside long ASCII runs", kMark8 + "0123456789abcdef\r\n0123456789abcdef\r",
         kUtf8, u"0123456789abcdef\n0123456789abcdef\n"},
        // U+FFFD as Windows' UTF-8 conversion gives it: a second byte out of range goes with
        // the start byte, the bytes after it count alone.
        {"UTF-8 bad lead bytes", kMark8 + "\xC0\x80x\xFFy", kUtf8, bad + bad + u"x" + bad + u"y"},
        {"UTF-8 overlong, surrogate, above U+10FFFF",
         kMark8 + "\xE0\x9F\xBF\xF0\x8F\xBF\xBF\xED\xA0\x80\xF4\x90\x80\x80", kUtf8,
         std::u16string(10, u'\uFFFD')},
        {"UTF-8 truncated sequence then ASCII", kMark8 + "\xE2\x82z", kUtf8, bad + u"z"},
        {"UTF-8 truncated sequence at the end", kMark8 + "ab\xF0\x9F\x98", kUtf8, u"ab" + bad},
        {"UTF-16LE mark inside stays; CR LF, lone CR, LF", kMark16 + Le(u"\uFEFF\r\nb\rc\nd"),
         kUtf16Le, u"\uFEFF\nb\nc\nd"},
        {"UTF-16LE surrogates, paired and not, pass; an odd trailing byte is dropped",
         kMark16 + Le(u"\U0001F600\xD83Dx\xDE00y\xD83D") + "c", kUtf16Le,
         u"\U0001F600\xD83Dx\xDE00y\xD83D"},
        {"ANSI line ends", "a\r\nb\rc\n", kAnsi, u"a\nb\nc\n"},
        // Past the limit: the text, or only the DOS one (refused whole).
        {"ANSI at the limit", Repeat("a"s, 100), kAnsi, Repeat(u"a"s, 100)},
        {"ANSI past the limit", Repeat("a"s, 101), kAnsi, Repeat(u"a"s, 101)},
        {"ANSI CR LF folds to the limit", Repeat("a\r\n"s, 50), kAnsi, Repeat(u"a\n"s, 50)},
        {"ANSI LF past it when doubled", Repeat("a\n"s, 40), kAnsi, Repeat(u"a\n"s, 40)},
        {"UTF-8 at the limit", kMark8 + Repeat("\xC3\xA9"s, 100), kUtf8, Repeat(u"\u00E9"s, 100)},
        {"UTF-8 past the limit", kMark8 + Repeat("a"s, 101), kUtf8, Repeat(u"a"s, 101)},
    };
    StartLog(false);
    internal::SetMaxTextUnitsForTesting(100);
    int refusals = 0;  // each logged: the three reads of a text too long, or the DOS one
    for (const auto& [what, bytes, encoding, expected] : cases) {
        SCOPED_TRACE(what);
        const CPath path = Write(bytes);
        Encoding told = kUnicode;
        CString text(u"old"), dos(u"old"), wanted(expected), wantedDos(expected);
        wantedDos.Replace(u"\n", u"\r\n");
        const bool fits = wanted.GetLength() <= 100, dosFits = wantedDos.GetLength() <= 100;
        refusals += fits ? !dosFits : 3;
        EXPECT_EQ(std::make_tuple(GetFileEncoding(path, &told), ReadFileToString(path, &text),
                                  ReadFileToStringDosNewline(path, &dos),
                                  ReadFileToString(path, nullptr), GetFileEncoding(path, nullptr)),
                  std::make_tuple(true, fits, dosFits, fits, true));
        EXPECT_EQ(std::make_tuple(told, text, dos),
                  std::make_tuple(encoding, fits ? wanted : u"", dosFits ? wantedDos : u""));
    }
    internal::SetMaxTextUnitsForTesting(0);
    CString line;
    line.Format(u"Fail to read from '%s', errno=%d\n", scratch_.Wide("t.txt").GetString(), EFBIG);
    EXPECT_EQ(Count(StopLog(), line), refusals);
}

// A text stream read to its end: on Windows the runtime's stream, read as the runtime delivers
// it (wide characters in a "ccs=" mode, else bytes in the thread's code page); elsewhere ours.
// nullopt when the open or a read fails.
std::optional<std::u16string> ReadStream(const CPath& path) {
#if defined(_WIN32)
    Encoding encoding = kAnsi;
    if (!GetFileEncoding(path, &encoding)) return std::nullopt;
    std::FILE* file = OpenTextFile(path, u"r", kAnsi);
    if (!file) return std::nullopt;
    std::u16string text;
    std::string bytes;
    wchar_t units[512];
    char chunk[512];
    for (bool more = true; more && !std::ferror(file);) {
        const size_t got = encoding == kAnsi ? std::fread(chunk, 1, 512, file)
                                             : std::fread(units, sizeof(wchar_t), 512, file);
        if (got > 512) break;  // the runtime's answer for a failed conversion
        if (encoding == kAnsi)
            bytes.append(chunk, got);
        else
            text.append(units, units + got);
        more = got == 512;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return std::nullopt;
    return encoding == kAnsi ? util_platform::WideFromAnsi(bytes) : text;
#else
    TextFilePtr file = OpenTextFile(path, u"r", kAnsi);
    CString text;
    if (!file || !file->ReadAll(&text)) return std::nullopt;
    return std::u16string(text.View());
#endif
}

// Bytes and the text that the Windows C runtime's text mode reads from them, as measured under
// Wine: a stream delivers it as it stands, ReadFileToString with its lone CRs made LF. One table
// for every platform, so that a file reads alike everywhere.
TEST_F(FileUtilTest, ReadsWhatTheWindowsRuntimesTextModeReads) {
    const std::u16string bad = u"\uFFFD";
    const std::pair<std::string, std::u16string> cases[] = {
        // A Ctrl-Z ends the text; in UTF-16 only the whole unit 001A does.
        {"ab\x1A"
         "cd",
         u"ab"},
        {"\x1A"
         "ab",
         u""},
        {"a\r\x1A", u"a\r"},
        {kMark8 + "ab\x1A"
                  "cd",
         u"ab"},
        {kMark8 + Repeat("a"s, 1023) +
             "\x1A"
             "bc",
         Repeat(u"a"s, 1023)},
        {kMark16 + Le(u"ab\x1A"
                      "cd"),
         u"ab"},
        {kMark16 + Le(u"\u011Ax\u1A00y"), u"\u011Ax\u1A00y"},
        // Line ends: CR LF is LF, a lone CR stays, also across the runtime's chunks.
        {"a\r\r\nb\r", u"a\r\nb\r"},
        {kMark8 + Repeat("a"s, 2047) + "\r\nb", Repeat(u"a"s, 2047) + u"\nb"},
        {kMark16 + Le(Repeat(u"a"s, 1023) + u"\r\nb\r"), Repeat(u"a"s, 1023) + u"\nb\r"},
        // UTF-16 units pass as they are; an odd last byte is dropped.
        {kMark16 + Le(u"a") + std::string("\x00\xD8", 2), u"a\xD800"},
        {kMark16 + Le(u"a\xDC00"
                      "b\xD800\xDBFF"),
         u"a\xDC00"
         "b\xD800\xDBFF"},
        {kMark16 + Le(u"ab") + "c", u"ab"},
        {kMark16 + "c", u""},
        // Malformed UTF-8.
        {kMark8 + "\xE0\x80\x80x", bad + bad + u"x"},
        {kMark8 + "\xF4\x90\x80x", bad + bad + u"x"},
        {kMark8 + "\xE2\x82xx", bad + u"xx"},
        {kMark8 + "\xE2xa", bad + u"xa"},
        {kMark8 + "\xC2x\xF5\x80", bad + u"x" + bad + bad},
        {kMark8 + "\xF0\x90\x80xab", bad + u"xab"},
        {kMark8 + "ab\xF0\x90"
                  "c",
         u"ab" + bad},
        {kMark8 + "ab\xE2\x82\x1A"
                  "cd",
         u"ab" + bad},
        {kMark8 + "\xE2\nab", bad + u"\nab"},
        {kMark8 + "\xF0\na", bad},
        {kMark8 + "\xEF\xBB\xBF\xEF\xBF\xBF", u"\uFEFF\uFFFF"},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        const CPath path = Write(bytes);
        std::u16string whole = expected;
        std::replace(whole.begin(), whole.end(), u'\r', u'\n');
        CString text;
        EXPECT_TRUE(ReadFileToString(path, &text));
        EXPECT_EQ(text.View(), whole);
        EXPECT_EQ(ReadStream(path), std::optional<std::u16string>(expected));
    }
    // A UTF-8 file that ends in the first byte of a sequence: the Windows runtime fails the read
    // (the text read before its last chunk stays); elsewhere that byte is one U+FFFD.
    CString text;
    const bool read = ReadFileToString(Write(kMark8 + Repeat("a"s, 3000) + "\xE2"), &text);
#if defined(_WIN32)
    EXPECT_TRUE(!read && text.GetLength() < 3000);
#else
    EXPECT_TRUE(read && text.View() == Repeat(u"a"s, 3000) + bad);
#endif
}

// The ways of opening a file that the share table below tries, each opened as its name says
// and held until its answer goes (a call that holds nothing answers a token): a handle in each
// mode, a device (read-write, which lets others write, or write-only), a text stream in a
// standard mode, the log (held in the file's folder), the size query and the description
// reader.
std::shared_ptr<void> OpenAs(const std::string& how, const CPath& path, const CString& folder) {
    static CFileAccess files;
    // Held while the answer lives, closed by `close` when it goes.
    auto hold = [](bool held, auto close) {
        return held ? std::shared_ptr<void>(&files, [close](void*) { close(); }) : nullptr;
    };
    auto handle = [&](FileHandle h) { return hold(h != nullptr, [h] { files.FA_CloseFile(h); }); };
    const std::map<std::string, FileMode> modes = {
        {"FM_Read", FM_Read}, {"FM_Create", FM_Create}, {"FM_Append", FM_Append}};
    uint32_t size = 0;
    CString text;
    if (how == "size") return hold(files.FA_GetFileSize(path, &size), [] {});
    if (how == "desc")
        return hold(CFileAccess::makeDownloadDescList(path, 0, text) != MDL_OpenFailed, [] {});
    if (how == "log") {
        Logging::Init(folder, true);
        return hold(Logging::IsInitialized(), Logging::Term);
    }
    if (how.rfind("device", 0) == 0) return handle(files.FA_OpenDevice(path, how == "device rw"));
    if (modes.count(how)) return handle(files.FA_OpenFile(path, modes.at(how)));
#if defined(_WIN32)
    std::FILE* stream = OpenTextFile(path, CString::FromUtf8(how), kAnsi);
    return stream ? std::shared_ptr<void>(stream, [](std::FILE* f) { std::fclose(f); }) : nullptr;
#else
    return std::shared_ptr<void>(OpenTextFile(path, CString::FromUtf8(how), kAnsi));
#endif
}

// On Windows a text stream is the runtime's, which lets every other opener read and write: a
// stream that truncates ("w") would change the file under the holders that let it in, so it is
// not among the openers there, and streams hold no file for the table.
const char* const kOpeners[] = {
#if !defined(_WIN32)
    "w",
#endif
    "a", "r+", "FM_Create", "FM_Append", "device rw", "device w", "r", "FM_Read", "size", "desc"};
const char* const kShareChild = "UTIL_SHARE_TABLE_CHILD";  // the file the child opens

// Each opener in turn on the file, closed again before the next: '1' admitted, '0' refused,
// 'X' when the file changed meanwhile (a refused opener must change nothing).
std::string TryEveryOpener(const CPath& path) {
    std::string answers;
    const std::filesystem::path file(path.ToUtf8());
    const std::string before = ReadFileBytes(file);
    for (const char* other : kOpeners) {
        const bool admitted = OpenAs(other, path, CString()) != nullptr;
        answers += ReadFileBytes(file) != before ? 'X' : admitted ? '1' : '0';
    }
    return answers;
}

// The second process of the share table: runs the openers on the file it is given and prints
// "[answers] ...". Does nothing in an ordinary run.
TEST(FileUtilShareChild, TryEveryOpener) {
    const char* path = std::getenv(kShareChild);
    if (!path || !*path) GTEST_SKIP() << "runs only as the child of the share table";
    std::printf("[answers] %s\n", TryEveryOpener(CPath(CString::FromUtf8(path))).c_str());
}

// The same openers tried by another process: this program started again with only the child's
// test selected.
std::string TryEveryOpenerInAnotherProcess(const CPath& path) {
    std::u16string self;
    int error = 0;
    if (!util_platform::ExecutablePath(&self, &error)) return "no executable path";
    const util_testing::RunResult run = util_testing::RunProgram(
        util_base::Utf16ToUtf8(self), {"--gtest_filter=FileUtilShareChild.TryEveryOpener"},
        {kShareChild + ("=" + path.ToUtf8())});
    const size_t at = run.out.find("[answers] ");
    if (run.exitCode != 0 || at == std::string::npos) return "child failed: " + run.out + run.err;
    return run.out.substr(at + 10, run.out.find('\n', at) - at - 10);
}

// While a file is open through a handle, a device, a text stream or the log, other openers may
// read it but not write it, unless the holder lets others write (a shared device). The size
// query reads no data and the description reader lets others write, so neither meets a
// conflict. Whichever interface either side uses, and whether the opener is in the holder's
// process or another one, a refused opener changes nothing, not even by truncation.
TEST_F(FileUtilTest, EveryInterfaceMeetsTheSameShareModesInEveryProcess) {
    const std::set<std::string> readers = {"r", "FM_Read", "size", "desc"},
#if defined(_WIN32)
                                sharers = {"device rw", "size", "desc", "r", "a", "r+"};
    for (const std::string holder : {"FM_Read", "FM_Append", "device rw", "device w", "log"}) {
#else
                                sharers = {"device rw", "size", "desc"};  // let others write
    for (const std::string holder :
         {"FM_Read", "FM_Append", "device rw", "device w", "r", "a", "log"}) {
#endif
        SCOPED_TRACE("held by " + holder);
        const CPath path = Write("content\r\n", "Tessmar.log");
        std::string expected;  // in the order of kOpeners
        for (const std::string other : kOpeners)
            expected += (readers.count(other) || sharers.count(holder)) &&
                                (readers.count(holder) || sharers.count(other))
                            ? '1'
                            : '0';
        std::shared_ptr<void> held = OpenAs(holder, path, scratch_.Wide());
        ASSERT_TRUE(held);
        EXPECT_EQ(TryEveryOpener(path), expected) << "in this process";
        EXPECT_EQ(TryEveryOpenerInAnotherProcess(path), expected) << "in another process";
        held.reset();
        EXPECT_TRUE(OpenAs("w", path, CString())) << "free again once closed";
    }
}

// Long files arrive whole: sequences, surrogate pairs and CR LF pairs straddling the reader's
// 1 MiB chunks (the pieces' lengths put the chunk ends at different places within them). Faults
// of the file layer while reading them: a read that fails part way answers false with the text
// read before it and logs "Fail to read from"; an open refused for too many open files answers
// false with the text empty. A missing file and a folder fail at the open too: every output
// stays as it was (a text is emptied). Each failed open writes one line, "Fail to open" with the
// error number, through Logging::Debug, so none with debug logging off.
TEST_F(FileUtilTest, FailuresAnswerFalseWithWhatWasRead) {
    const std::string utf8 = kMark8 + Repeat("ab\xC3\xA9\r\n\xF0\x9F\x98\x80\r"s, 300000);
    const std::u16string text8 = Repeat(u"ab\u00E9\n\U0001F600\n"s, 300000);
    const std::tuple<const char*, std::string, std::u16string, bool> cases[] = {
        {"UTF-8", utf8, text8, false},
        {"UTF-16LE", kMark16 + Repeat(Le(u"ab\u00E9\r\n\U0001F600\rx"), 300000),
         Repeat(u"ab\u00E9\n\U0001F600\nx"s, 300000), false},
        {"ANSI", Repeat("line 0123456789\n"s, 200000), Repeat(u"line 0123456789\n"s, 200000),
         false},
        {"UTF-8, open refused", utf8, text8, true},
    };
    std::filesystem::create_directory(scratch_.path() / "folder");
    const CPath missing(scratch_.Wide("absent.txt")), folder(scratch_.Wide("folder"));
    for (const bool debug : {true, false}) {
        SCOPED_TRACE(debug ? "debug on" : "debug off");
        StartLog(debug);
        for (const auto& [what, bytes, expected, openFails] : cases) {
            SCOPED_TRACE(what);
            const CPath path = Write(bytes);
            CString full, text(u"old");
            ASSERT_TRUE(ReadFileToString(path, &full) && full.View() == expected);
            if (openFails)
                util_platform::FailOpensForTesting(0, InjectedFault::kTooManyOpenFiles);
            else  // fails in the middle of the file, after the encoding was told
                util_platform::FailReadsForTesting(bytes.size() / 2, InjectedFault::kIoError);
            EXPECT_FALSE(ReadFileToString(path, &text));
            util_platform::FailReadsForTesting(-1, InjectedFault::kIoError);
            util_platform::FailOpensForTesting(-1, InjectedFault::kIoError);
            EXPECT_TRUE(text.IsEmpty() == openFails && text.GetLength() < full.GetLength());
            EXPECT_EQ(full.Left(text.GetLength()), text) << "what was read before the failure";
        }
        Encoding encoding = kUnicode;  // never told
        CString text(u"old"), dos(u"old");
        EXPECT_FALSE(GetFileEncoding(missing, &encoding));
        EXPECT_FALSE(ReadFileToString(folder, &text) || ReadFileToStringDosNewline(missing, &dos));
        EXPECT_TRUE(encoding == kUnicode && text.IsEmpty() && dos.IsEmpty());
        EXPECT_FALSE(OpenTextFile(missing, u"r", kUtf8) || OpenTextFile(folder, u"w", kUtf8));
        // A failed read: GetFileEncoding still tells the encoding of the bytes it got.
        util_platform::FailReadsForTesting(0, InjectedFault::kIoError);
        EXPECT_TRUE(!GetFileEncoding(Write(kMark8 + "x"), &encoding) && encoding == kAnsi);
        util_platform::FailReadsForTesting(-1, InjectedFault::kIoError);
        // Three failed reads and GetFileEncoding's; the opens refused of t.txt, the missing file
        // and the folder; no error number 0 or negative; the header, each message's own LF and line
        // end.
        const CString log = StopLog(), open = u"] Fail to open '", number = u"', errno=";
        EXPECT_EQ(std::make_tuple(
                      Count(log, u"] Fail to read from '" + scratch_.Wide("t.txt") + number),
                      Count(log, open + scratch_.Wide("t.txt") + number),
                      Count(log, open + missing + number), Count(log, open + folder + number),
                      Count(log, number + u"0") + Count(log, number + u"-"), Count(log, u"\n")),
                  debug ? std::make_tuple(4, 1, 3, 2, 0, 21) : std::make_tuple(4, 0, 0, 0, 0, 9))
            << log.ToUtf8();
    }
}

#if !defined(_WIN32)
// Writing: marks and line ends of new and existing files; reading; modes refused.
// A stream's reads stop at the text limit: a line longer than it (a file with no line end in
// sight) and a whole text past it fail with EFBIG after reading no more than the limit allows,
// in either width of unit; what was read before stays. A line within the limit is read whole,
// however many bytes its characters take.
TEST_F(FileUtilTest, StreamReadsStopAtTheTextLimit) {
    internal::SetMaxTextUnitsForTesting(10);
    for (const auto& [what, bytes] : std::vector<std::pair<const char*, std::string>>{
             {"UTF-8", kMark8 + "short\n" + Repeat("a"s, 50) + "\nend\n"},
             {"UTF-16LE", kMark16 + Le(u"short\n" + Repeat(u"a"s, 50) + u"\nend\n")}}) {
        SCOPED_TRACE(what);
        TextFilePtr file = OpenTextFile(Write(bytes), u"rb", kAnsi);
        ASSERT_TRUE(file);
        CString line;
        EXPECT_TRUE(file->ReadLine(&line) && line == CString(u"short\n"));
        EXPECT_FALSE(file->ReadLine(&line));
        EXPECT_EQ(file->LastErrno(), EFBIG);
        EXPECT_TRUE(line.IsEmpty());
    }
    // A line within the limit is read however many bytes its characters take.
    TextFilePtr wide =
        OpenTextFile(Write(kMark8 + Repeat("\xE2\x82\xAC"s, 9) + "\n", "euros.txt"), u"rb", kAnsi);
    CString euros;
    ASSERT_TRUE(wide);
    EXPECT_TRUE(wide->ReadLine(&euros));
    EXPECT_EQ(euros, CString(Repeat(u"\u20AC"s, 9) + u"\n"));
    TextFilePtr file = OpenTextFile(Write("abcd\nefgh\nijkl\n"), u"rb", kAnsi);
    CString text;
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->ReadAll(&text));
    EXPECT_EQ(file->LastErrno(), EFBIG);
    EXPECT_EQ(text, CString(u"abcd\nefgh\n"));
    internal::SetMaxTextUnitsForTesting(0);
}

TEST_F(FileUtilTest, OpenTextFileWritesAndReadsMarksAndLineEnds) {
    const std::string le = kMark16 + Le(u"old\r\n"), utf8 = kMark8 + "a\r\n\xC3\xA9";
    const std::string ansi = "a\r\n" + util_platform::AnsiFromWide(u"é");  // thread's code page
    // An existing file's content (none: no file), the mode, the encoding asked for and used.
    using Row = std::tuple<const char*, std::optional<std::string>, const char16_t*, Encoding,
                           Encoding, std::string>;
    const Row cases[] = {
        {"new UTF-8 file", std::nullopt, u"w", kUtf8, kUtf8, utf8},
        {"new Unicode file", std::nullopt, u"wt", kUnicode, kUnicode, kMark16 + Le(u"a\r\né")},
        {"new ANSI file", std::nullopt, u"w", kAnsi, kAnsi, ansi},
        {"binary mode", std::nullopt, u"wb", kUtf8, kUtf8, kMark8 + "a\n\xC3\xA9"},
        {"append creates", std::nullopt, u"a", kUtf8, kUtf8, utf8},
        {"existing file without mark wins", "x", u"w", kUtf8, kAnsi, ansi},
        {"existing UTF-16LE file appended", le, u"a", kAnsi, kUtf16Le, le + Le(u"a\r\né")},
        {"existing UTF-8 file rewritten", kMark8 + "old", u"w+", kAnsi, kUtf8, utf8},
    };
    for (const auto& [what, existing, mode, asked, used, expected] : cases) {
        SCOPED_TRACE(what);
        const std::string name = what + ".txt"s;  // a file of its own
        if (existing) Write(*existing, name);
        TextFilePtr file = OpenTextFile(CPath(scratch_.Wide(name)), mode, asked);
        ASSERT_TRUE(file && file->GetEncoding() == used);
        EXPECT_TRUE(file->Write(u"a\né") && file->Close());
        EXPECT_EQ(ReadFileBytes(scratch_.path() / name), expected);
    }
    // Reading: lines, the whole text, and a write after a read.
    const CPath path = Write(kMark8 + "x\r\ny\rz\n\xC3\xA9");
    TextFilePtr file = OpenTextFile(path, u"r", kAnsi);
    ASSERT_TRUE(file && file->GetEncoding() == kUtf8);
    CString line, lines;
    while (file->ReadLine(&line)) lines += line + u"|";
    EXPECT_EQ(lines, CString(u"x\n|y\rz\n|é|"));        // a lone CR stays in a stream
    EXPECT_TRUE(file->IsEof() && !file->Write(u"no"));  // opened for reading only

    TextFilePtr binary = OpenTextFile(Write(kMark16 + Le(u"a\r\nb"), "b.txt"), u"rb", kAnsi);
    ASSERT_TRUE(binary && binary->ReadAll(&line));
    EXPECT_EQ(line, CString(u"a\r\nb"));

    // Reading and writing on one stream: the write lands after what was read.
    TextFilePtr both = OpenTextFile(Write(kMark8 + "1\n2\n", "rw.txt"), u"r+", kAnsi);
    ASSERT_TRUE(both && both->ReadLine(&line) && both->Write(u"X"));
    both.reset();
    EXPECT_EQ(ReadFileBytes(scratch_.path() / "rw.txt"), kMark8 + "1\nX\n");

    for (const char16_t* mode : {u"", u"x", u"rw", u"r++", u"rbt", u"r, ccs=UTF-8"})
        EXPECT_FALSE(OpenTextFile(path, mode, kUtf8)) << CString(mode).ToUtf8();
}
#else

// Windows: the runtime's stream, opened with the caller's mode and the option of the encoding
// in use: the runtime writes a new file's mark and encodes, and judges the mode itself.
TEST_F(FileUtilTest, OpenTextFileOpensTheRuntimesStreamWithTheEncodingsOption) {
    using Row =
        std::tuple<const char*, std::optional<std::string>, const char16_t*, Encoding, std::string>;
    const Row cases[] = {
        {"new UTF-8 file", std::nullopt, u"w", kUtf8, kMark8 + "a\r\n\xC3\xA9"},
        {"new Unicode file", std::nullopt, u"w", kUnicode, kMark16 + Le(u"a\r\n\u00E9")},
        {"new UTF-16LE file", std::nullopt, u"a", kUtf16Le, kMark16 + Le(u"a\r\n\u00E9")},
        {"new ANSI file", std::nullopt, u"w", kAnsi, "a\r\n\xE9"},
        {"existing file without mark wins", "x", u"w", kUtf8, "a\r\n\xE9"},
        {"existing UTF-16LE file appended", kMark16 + Le(u"z"), u"a", kAnsi,
         kMark16 + Le(u"za\r\n\u00E9")},
        {"existing UTF-8 file rewritten", kMark8 + "old", u"w+", kAnsi, kMark8 + "a\r\n\xC3\xA9"},
    };
    for (const auto& [what, existing, mode, asked, expected] : cases) {
        SCOPED_TRACE(what);
        const std::string name = what + ".txt"s;
        if (existing) Write(*existing, name);
        std::FILE* file = OpenTextFile(CPath(scratch_.Wide(name)), mode, asked);
        ASSERT_TRUE(file);
        EXPECT_GE(std::fputws(L"a\n\u00E9", file), 0);
        EXPECT_EQ(std::fclose(file), 0);
        EXPECT_EQ(ReadFileBytes(scratch_.path() / name), expected);
    }
    // Modes the runtime does not take, an option given twice among them: null, logged with
    // errno=22.
    StartLog(true);
    const CPath path = Write(kMark8 + "x");
    for (const char16_t* mode : {u"", u"x", u"r, ccs=UTF-8", u"r, ccs=bogus"})
        EXPECT_EQ(OpenTextFile(path, mode, kUtf8), nullptr) << CString(mode).ToUtf8();
    // Devices behind reserved names are no text files (reading AUX or the console would wait
    // without end): refused at the open, for reading and for writing, with errno=22 where the
    // runtime opened the device (Wine's runtime itself refuses CON without a console, EBADF).
    const CPath devices[] = {CPath(u"NUL"), CPath(scratch_.Wide("CON")),
                             CPath(scratch_.Wide("aux.txt"))};
    for (const CPath& device : devices) {
        SCOPED_TRACE(CString(device.GetString()).ToUtf8());
        EXPECT_EQ(OpenTextFile(device, u"r", kAnsi), nullptr);
        EXPECT_EQ(OpenTextFile(device, u"w", kUtf8), nullptr);
        EXPECT_FALSE(ReadFileToString(device, nullptr));
    }
    const CString log = StopLog();
    CString line;
    line.Format(u"Fail to open '%s', errno=%d\n", path.GetString(), EINVAL);
    EXPECT_EQ(Count(log, line), 4);
    for (const CPath& device : devices) {
        line.Format(u"Fail to open '%s', errno=", device.GetString());
        EXPECT_EQ(Count(log, line), 3) << line.ToUtf8();
    }
    line.Format(u"Fail to open 'NUL', errno=%d\n", EINVAL);
    EXPECT_EQ(Count(log, line), 3);
}
#endif  // _WIN32

}  // namespace
