#ifndef UTIL_FILES_FILE_UTIL_H
#define UTIL_FILES_FILE_UTIL_H

// Text files whose encoding the caller does not know. The encoding is told from the file's
// byte-order mark (FF FE: UTF-16LE, EF BB BF: UTF-8, anything else: ANSI text in the thread's
// code page); texts are delivered as UTF-16 with LF line ends. Failures to open or read are
// written to the download log ("Fail to open '<path>', errno=<n>" through Logging::Debug,
// "Fail to read from '<path>', errno=<n>" through Logging::WriteV) and answered with false or
// null; nothing throws. Nothing keeps state: every function may run on any thread.
//
// Reading gives the text of the Windows C runtime's text mode on every platform (on Windows the
// runtime itself reads; elsewhere our decoder gives the same answers):
//   - a Ctrl-Z ends the text: the byte 1A in ANSI and UTF-8 files, the whole unit 001A in UTF-16
//     ones ("ab" 1A "cd" reads as "ab"; the unit 011A does not end anything);
//   - UTF-16 units arrive as they are, unpaired surrogates too; an odd last byte is dropped;
//   - malformed UTF-8 becomes U+FFFD, as Windows' UTF-8 conversion makes it: one for a byte that
//     cannot start a sequence, one for a start byte and the continuation bytes after it, one
//     for a start byte with a second byte out of its range (E0 80 80 -> U+FFFD U+FFFD), and one
//     for a sequence the end of the text cuts off, with every byte after its start
//     ("ab" F0 90 "c" -> "ab" U+FFFD).
// On Windows the runtime reports some files as a failed read instead (a UTF-8 file ending in
// the first byte of a sequence; under Wine also a Ctrl-Z that falls at the start of one of its
// reads): false, "Fail to read from", and the text read before.
//
// Opening. A folder fails at the open, like a missing file, and so (POSIX) does a FIFO,
// socket or device, at once, without waiting for a writer or reading without end: "Fail to open"
// through Logging::Debug, outputs untouched; nothing is read from it. POSIX: every open meets the
// share modes of CFileAccess (others may read the file while it is open, not write it), so a text
// stream cannot truncate or write a file held by a handle, another stream or the log, and a
// handle cannot write a file held by a stream; a refused open fails like any other. Windows: the
// runtime's streams (_wfopen_s) refuse to write a file a handle or the log holds, and themselves
// leave the file open to every other opener, as the runtime does. Streams that write never open
// through a symbolic link at the path (POSIX: ELOOP).
//
// Size. The longest text delivered is CString::kMaxLength UTF-16 units (about 1 GiB of ANSI
// or ASCII text); a file holding more is answered with false and an empty text, logged as
// "Fail to read from '<path>', errno=27" (EFBIG).

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "util/base/cstring.h"
#include "util/base/path.h"
#include "util/util_export.h"

namespace common {
namespace sdk {
namespace file_util {

enum Encoding : int32_t {
    kAnsi = 0,     // no byte-order mark: 8-bit text in the thread's ANSI code page
    kUnicode = 1,  // wide text: UTF-16LE (never detected; only chosen for a new file)
    kUtf16Le = 2,  // UTF-16 little-endian, mark FF FE
    kUtf8 = 3,     // UTF-8, mark EF BB BF
};

#if !defined(_WIN32)
// POSIX: a text stream of our own that decodes on reading and encodes on writing, the
// counterpart of the C runtime stream that OpenTextFile gives on Windows. Made by OpenTextFile;
// the file is closed when the object goes away (or by Close).
//
// Text mode (the default; "t" in the mode) reads CR LF as LF, ends the text at a Ctrl-Z and
// writes LF as CR LF. Binary mode ("b") leaves line ends and Ctrl-Z alone but still decodes and
// encodes. A lone CR is kept here: only ReadFileToString turns it into LF.
//
// When a stream in kUtf8, kUtf16Le or kUnicode creates its file (mode "w", "w+", or "a"/"a+"
// on an empty or new file) it writes the byte-order mark first (kUnicode writes FF FE, like
// kUtf16Le). Reading skips the mark at the start of the file.
//
// Switching between reading and writing on a "+" stream needs no seek in between; the stream
// does it. One object must not be used by two threads at once.
class UTIL_EXPORT TextFile {
  public:
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    // The encoding in use: the one detected for an existing file, else the caller's.
    Encoding GetEncoding() const;

    // Reads the next line including its LF (the last line may have none) into *line. Answers
    // false, with *line empty, when nothing is left or a read fails. line may be null. A line
    // longer than the text limit (see "Size") fails with EFBIG after reading at most that much.
    bool ReadLine(CString* line);

    // Reads the rest of the file into *text (may be null). Answers false when a read failed or
    // the text would pass the limit (EFBIG); *text then holds what was read before.
    bool ReadAll(CString* text);

    // Encodes and writes text. Answers false when the stream is not open for writing or a
    // write fails.
    bool Write(std::u16string_view text);

    // Writes out what is buffered. Answers false when that fails.
    bool Flush();

    // Flushes and closes the file; later calls fail. Answers false when flushing or closing
    // failed (what was written may then be incomplete).
    bool Close();

    // True after a read reached the end of the file / after a read or write failed; the C
    // runtime's error number of the last failure (0 when none).
    bool IsEof() const;
    bool HasError() const;
    int LastErrno() const;

  private:
    struct State;
    explicit TextFile(std::unique_ptr<State> state);
    friend struct TextFileFactory;
    std::unique_ptr<State> state_;
};

using TextFilePtr = std::unique_ptr<TextFile>;

// What OpenTextFile hands out: our stream here.
using TextStream = TextFilePtr;
#else
// Windows: the C runtime's stream; the caller closes it with fclose.
using TextStream = std::FILE*;
#endif

// Stores the encoding of the file at path in *encoding (may be null) from its first three
// bytes: FF FE is tested first, then EF BB BF; big-endian UTF-16 (FE FF) is not recognised and
// counts as kAnsi, as does a file shorter than its mark:
//   FF FE 41 00 -> kUtf16Le     FF FE -> kUtf16Le     EF BB -> kAnsi     "" -> kAnsi
// Answers false when the file cannot be opened (encoding untouched) or the read fails (the
// encoding of the bytes read is still stored).
UTIL_EXPORT bool GetFileEncoding(const CPath& path, Encoding* encoding);

// Opens a text stream. When a file exists at path its own encoding, as GetFileEncoding tells it,
// replaces the caller's; so an existing file without mark opens as kAnsi whatever the caller
// asked. Answers null on failure (logged).
//
// Windows: the mode is the caller's with the encoding's option appended (kUnicode ", ccs=Unicode",
// kUtf16Le ", ccs=UTF-16LE", kUtf8 ", ccs=UTF-8", kAnsi nothing), opened by _wfopen_s: the runtime
// judges the mode, writes the mark of a new file and decodes and encodes:
//   OpenTextFile(L"new.txt", L"w", kUtf8)   -> _wfopen_s(..., L"w, ccs=UTF-8")
//   OpenTextFile(L"old.txt", L"w", kUtf8)   -> _wfopen_s(..., L"w") when old.txt has no mark
// POSIX: mode is "r", "w" or "a", optionally followed by "+" and "t" or "b" (anything else fails
// with errno=22); the stream writes the mark of a new file itself.
UTIL_EXPORT TextStream OpenTextFile(const CPath& path, const char16_t* mode, Encoding encoding);
#if UTIL_WCHAR_IS_UTF16
// The same for a wchar_t mode (LPCWSTR): OpenTextFile(L"C:\\a.txt", L"w", kUtf8).
inline auto OpenTextFile(const CPath& path, util_wide::Text mode, Encoding encoding) {
    return OpenTextFile(path, mode.get(), encoding);
}
#endif

// Reads the whole file into *text (may be null), emptied first. The byte-order mark is not
// delivered; CR LF and a lone CR both arrive as LF:
//   EF BB BF "a\r\nb"  -> "a\nb"        "a\rb\r\r\n" (ANSI) -> "a\nb\n\n"
// Answers false when the file cannot be opened (text stays empty) or a read fails (text holds
// what was read before the failure).
UTIL_EXPORT bool ReadFileToString(const CPath& path, CString* text);

// ReadFileToString, then every LF of the text becomes CR LF: "a\r\nb" -> "a\r\nb".
// Answers false, with the text as ReadFileToString left it, when that fails; answers false with
// an empty text (logged as for a file too large) when the CR LF text would pass the limit.
UTIL_EXPORT bool ReadFileToStringDosNewline(const CPath& path, CString* text);

}  // namespace file_util
}  // namespace sdk
}  // namespace common

#endif  // UTIL_FILES_FILE_UTIL_H
