// The text stream that OpenTextFile hands out, and OpenTextFile itself.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>

#include "util/files/file_util.h"
#include "util/files/text_codec.h"
#include "util/logging/logging.h"
#include "util/platform/codepage.h"
#include "util/platform/stdio_file.h"

namespace common {
namespace sdk {
namespace file_util {

namespace {

constexpr char16_t kOpenFailed[] = u"Fail to open '%s', errno=%d\n";

}  // namespace

#if defined(_WIN32)

// Windows hands out the C runtime's own stream: the caller's mode with the encoding option of
// the file's encoding (an existing file's, told by its mark, else the caller's), opened by
// _wfopen_s, which also judges the mode.
std::FILE* OpenTextFile(const CPath& path, const char16_t* mode, Encoding encoding) {
    if (mode == nullptr) {
        Logging::Debug(kOpenFailed, path.GetString(), EINVAL);
        return nullptr;
    }
    std::u16string effective(mode);
    if (path.FileExists() && !GetFileEncoding(path, &encoding)) return nullptr;
    effective += encoding == kUnicode   ? u", ccs=Unicode"
                 : encoding == kUtf16Le ? u", ccs=UTF-16LE"
                 : encoding == kUtf8    ? u", ccs=UTF-8"
                                        : u"";
    int error = 0;
    std::FILE* stream = util_platform::OpenRuntimeStream(path.View(), effective, &error);
    if (stream == nullptr) Logging::Debug(kOpenFailed, path.GetString(), error);
    return stream;
}

#else

using internal::ByteEncoding;

struct TextFile::State {
    std::FILE* file = nullptr;
    Encoding encoding = kAnsi;
    bool textMode = true;
    bool canRead = false, canWrite = false;
    enum { kNone, kReading, kWriting } last = kNone;
    bool eof = false, error = false;
    bool ended = false;  // a Ctrl-Z, or a broken sequence at the end, ended the text
    int lastErrno = 0;

    void Fail(int number) {
        error = true;
        lastErrno = number != 0 ? number : EIO;
    }
    // C streams need a positioning call between reading and writing; the stream makes it.
    void Switch(decltype(last) next) {
        if (last != kNone && last != next) std::fseek(file, 0, SEEK_CUR);
        last = next;
    }
    // A line of UTF-8 decodes as the whole file would: a sequence cut off by the line's LF
    // stands for one U+FFFD, and when the file ends before such a sequence could, that U+FFFD
    // takes the LF and the rest of the file with it. So when a start byte comes shortly before
    // the LF, the few bytes after the line are counted (and left unread): ASCII stand-ins for
    // them let the decoder see how far the file goes, and are taken off again.
    std::u16string DecodeUtf8Line(const std::string& bytes) {
        const size_t n = bytes.size();
        bool cutOff = false;  // a start byte among the three before the LF
        for (size_t i = n >= 4 ? n - 4 : 0; i + 1 < n; ++i)
            cutOff = cutOff || static_cast<uint8_t>(bytes[i]) >= 0xC0;
        if (ended || bytes.back() != '\n' || !cutOff)
            return internal::DecodeText(bytes, ByteEncoding::kUtf8, false, false);
        size_t after = 0;
        long taken = 0;
        for (int ch; after < 3 && (ch = std::getc(file)) != EOF; ++after) {
            ++taken;
            if (textMode && ch == 0x1A) break;
        }
        std::fseek(file, -taken, SEEK_CUR);
        std::u16string text = internal::DecodeText(bytes + std::string(after, 'x'),
                                                   ByteEncoding::kUtf8, false, false);
        if (text.size() >= after &&
            text.compare(text.size() - after, after, std::u16string(after, u'x')) == 0)
            text.resize(text.size() - after);
        else  // the end of the file went into the U+FFFD
            ended = true;
        return text;
    }

    bool WriteBytes(const std::string& bytes) {
        errno = 0;
        if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
            Fail(errno);
            return false;
        }
        return true;
    }
};

namespace {

struct ParsedMode {
    char base = 0;  // 'r', 'w' or 'a'
    bool plus = false, binary = false;
};

bool ParseMode(const char16_t* mode, ParsedMode* parsed) {
    if (mode == nullptr || (mode[0] != u'r' && mode[0] != u'w' && mode[0] != u'a')) return false;
    parsed->base = static_cast<char>(mode[0]);
    bool text = false;
    for (const char16_t* p = mode + 1; *p; ++p) {
        bool* flag = *p == u'+'   ? &parsed->plus
                     : *p == u'b' ? &parsed->binary
                     : *p == u't' ? &text
                                  : nullptr;
        if (flag == nullptr || *flag) return false;
        *flag = true;
    }
    return !(text && parsed->binary);
}

std::string MarkOf(Encoding encoding) {
    if (encoding == kUtf8) return "\xEF\xBB\xBF";
    if (encoding == kUtf16Le || encoding == kUnicode) return "\xFF\xFE";
    return std::string();
}

}  // namespace

TextFile::TextFile(std::unique_ptr<State> state) : state_(std::move(state)) {}

TextFile::~TextFile() {
    Close();
}

Encoding TextFile::GetEncoding() const {
    return state_->encoding;
}
bool TextFile::IsEof() const {
    return state_->eof;
}
bool TextFile::HasError() const {
    return state_->error;
}
int TextFile::LastErrno() const {
    return state_->lastErrno;
}

bool TextFile::ReadLine(CString* line) {
    if (line) line->Empty();
    State& s = *state_;
    if (s.file == nullptr || !s.canRead) {
        s.Fail(EBADF);
        return false;
    }
    s.Switch(State::kReading);
    // Collect the bytes of one line: up to and including the byte or unit LF. In text mode a
    // Ctrl-Z (the byte 1A, in UTF-16 the unit 001A) ends the text, as in the C runtime's text
    // streams: it and everything after it are never delivered.
    const size_t width = s.encoding == kAnsi || s.encoding == kUtf8 ? 1 : 2;
    // A line holds at most MaxTextUnits() units. A unit takes at most 3 bytes (UTF-8) or 2
    // (UTF-16, a double-byte code page), so once the bytes pass that many times the limit no
    // decoding can fit: the read stops there, with EFBIG, and memory stays bounded. A line
    // that does decode is checked against the limit itself below.
    const size_t limit = internal::MaxTextUnits();
    const size_t maxBytes = (limit + 1) * (s.encoding == kUtf8 ? 3 : 2);
    std::string bytes;
    errno = 0;
    try {
        for (int ch; !s.ended && (ch = std::getc(s.file)) != EOF;) {
            bytes += static_cast<char>(ch);
            const size_t n = bytes.size();
            if (n % width != 0) continue;
            if (s.textMode && bytes[n - width] == '\x1A' && (width == 1 || bytes[n - 1] == 0)) {
                bytes.resize(n - width);
                s.ended = true;
                break;
            }
            if (bytes[n - width] == '\n' && (width == 1 || bytes[n - 1] == 0)) break;
            if (n >= maxBytes) {
                s.Fail(EFBIG);
                return false;
            }
        }
    } catch (const std::bad_alloc&) {
        s.Fail(ENOMEM);
        return false;
    }
    if (std::ferror(s.file)) {
        s.Fail(errno);
        return false;
    }
    if (bytes.empty()) {
        s.eof = true;
        return false;
    }
    std::u16string text;
    if (s.encoding == kAnsi)
        text = util_platform::WideFromAnsi(bytes);
    else if (width == 2)
        text = internal::DecodeText(bytes, ByteEncoding::kUtf16Le, false, false);
    else
        text = s.DecodeUtf8Line(bytes);
    const size_t n = text.size();
    if (s.textMode && n >= 2 && text[n - 2] == u'\r' && text[n - 1] == u'\n') text.erase(n - 2, 1);
    if (text.size() > limit) {
        s.Fail(EFBIG);
        return false;
    }
    if (line) *line = CString(text);
    return true;
}

bool TextFile::ReadAll(CString* text) {
    if (text) text->Empty();
    CString line;
    while (ReadLine(&line)) {
        if (!text) continue;
        if (static_cast<size_t>(text->GetLength()) + line.GetLength() > internal::MaxTextUnits()) {
            state_->Fail(EFBIG);
            return false;
        }
        *text += line;
    }
    return !state_->error;
}

bool TextFile::Write(std::u16string_view text) {
    State& s = *state_;
    if (s.file == nullptr || !s.canWrite) {
        s.Fail(EBADF);
        return false;
    }
    s.Switch(State::kWriting);
    std::u16string expanded;
    if (s.textMode) {
        expanded.reserve(text.size());
        for (char16_t ch : text) {
            if (ch == u'\n') expanded += u'\r';
            expanded += ch;
        }
        text = expanded;
    }
    std::string bytes;
    if (s.encoding == kAnsi)
        bytes = util_platform::AnsiFromWide(text);
    else if (s.encoding == kUtf8)
        internal::AppendUtf8(bytes, text);
    else
        internal::AppendUtf16Le(bytes, text);
    return s.WriteBytes(bytes);
}

bool TextFile::Flush() {
    State& s = *state_;
    if (s.file == nullptr) return false;
    errno = 0;
    if (std::fflush(s.file) != 0) {
        s.Fail(errno);
        return false;
    }
    return true;
}

bool TextFile::Close() {
    State& s = *state_;
    if (s.file == nullptr) return false;
    errno = 0;
    const bool closed = std::fclose(s.file) == 0;
    s.file = nullptr;
    if (!closed) s.Fail(errno);
    return closed;
}

struct TextFileFactory {
    static TextFilePtr Open(const CPath& path, const char16_t* mode, Encoding encoding);
};

TextFilePtr OpenTextFile(const CPath& path, const char16_t* mode, Encoding encoding) {
    return TextFileFactory::Open(path, mode, encoding);
}

TextFilePtr TextFileFactory::Open(const CPath& path, const char16_t* mode, Encoding encoding) {
    auto state = std::make_unique<TextFile::State>();
    ParsedMode parsed;
    if (!ParseMode(mode, &parsed)) {
        Logging::Debug(kOpenFailed, path.GetString(), EINVAL);
        return nullptr;
    }
    const bool existed = path.FileExists();
    if (existed && !GetFileEncoding(path, &encoding)) return nullptr;
    if (encoding != kUnicode && encoding != kUtf16Le && encoding != kUtf8) encoding = kAnsi;

    std::string fopenMode(1, parsed.base);
    if (parsed.plus) fopenMode += '+';
    fopenMode += 'b';
    int error = 0;
    std::FILE* file = util_platform::OpenStdioFile(path.View(), fopenMode.c_str(), &error);
    if (file == nullptr) {
        Logging::Debug(kOpenFailed, path.GetString(), error);
        return nullptr;
    }
    state->file = file;
    state->encoding = encoding;
    state->textMode = !parsed.binary;
    state->canRead = parsed.base == 'r' || parsed.plus;
    state->canWrite = parsed.base != 'r' || parsed.plus;
    TextFilePtr stream(new TextFile(std::move(state)));
    TextFile::State& s = *stream->state_;

    const std::string mark = MarkOf(encoding);
    const bool creates =
        parsed.base == 'w' || (parsed.base == 'a' && util_platform::StdioFileSize(file) == 0);
    if (!mark.empty() && creates) {
        s.last = TextFile::State::kWriting;
        if (!s.WriteBytes(mark)) {
            Logging::Debug(kOpenFailed, path.GetString(), s.lastErrno);
            return nullptr;
        }
    } else if (!mark.empty() && existed && parsed.base != 'w') {
        std::fseek(file, static_cast<long>(mark.size()), SEEK_SET);  // reading skips the mark
    }
    return stream;
}

#endif  // _WIN32

}  // namespace file_util
}  // namespace sdk
}  // namespace common
