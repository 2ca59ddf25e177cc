#include "util/files/file_util.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "util/files/text_codec.h"
#include "util/logging/logging.h"
#include "util/platform/codepage.h"
#include "util/platform/stdio_file.h"

namespace common {
namespace sdk {
namespace file_util {

using internal::ByteEncoding;
using internal::TextDecoder;

namespace {

constexpr char16_t kOpenFailed[] = u"Fail to open '%s', errno=%d\n";
constexpr char16_t kReadFailed[] = u"Fail to read from '%s', errno=%d\n";

#if !defined(_WIN32)
// Files are read in chunks this large: few calls, and a bounded buffer beside the text.
constexpr size_t kChunkBytes = size_t{1} << 20;
#endif
// The longest text a CString holds.
constexpr size_t kMaxUnits = static_cast<size_t>(CString::kMaxLength);
std::atomic<size_t> g_maxUnits{kMaxUnits};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Windows opens through the C runtime's own _wfopen_s with the mode as it stands, so that its
// text modes ("r", "r, ccs=UTF-8") decode; POSIX opens binary streams and decodes itself.
FilePtr OpenLogged(const CPath& path, const char* mode) {
    int error = 0;
#if defined(_WIN32)
    const std::u16string wideMode(mode, mode + std::strlen(mode));
    std::FILE* file = util_platform::OpenRuntimeStream(path.View(), wideMode, &error);
#else
    std::FILE* file = util_platform::OpenStdioFile(path.View(), mode, &error);
#endif
    if (file == nullptr) Logging::Debug(kOpenFailed, path.GetString(), error);
    return FilePtr(file);
}

// Reads up to `want` bytes. Answers false after logging when the stream reports an error;
// *got holds the bytes read either way, *atEnd whether the file is exhausted.
bool ReadLogged(const CPath& path, std::FILE* file, void* buffer, size_t want, size_t* got,
                bool* atEnd) {
    int error = 0;
    const bool ok = util_platform::ReadStdioFile(file, buffer, want, got, &error);
    *atEnd = *got < want;
    if (!ok) Logging::WriteV(kReadFailed, path.GetString(), error);
    return ok;
}

#if !defined(_WIN32)
// A small file is read with a buffer of its own size plus one byte, so its end is seen at
// once; files that report no size (pipes, /proc) get full chunks.
size_t ChunkBytesFor(long long fileSize) {
    return fileSize > 0 && size_t(fileSize) < kChunkBytes ? size_t(fileSize) + 1 : kChunkBytes;
}

size_t MarkLength(Encoding encoding) {
    return encoding == kUtf8 ? 3 : (encoding == kUtf16Le || encoding == kUnicode) ? 2 : 0;
}

// Where decoded text goes: straight into the caller's CString (grown as needed), or, when the
// caller wants no text, into a scratch buffer reused for each chunk. The text may not pass
// MaxTextUnits(); a decoder gets room for its worst case, which may reach past the limit, and
// Commit tells whether what it actually wrote still fits.
class TextSink {
  public:
    TextSink(CString* text, size_t expectedUnits) : text_(text) {
        if (text_) {
            capacity_ = std::min(std::max<size_t>(expectedUnits, 256), internal::MaxTextUnits());
            buffer_ = text_->GetBuffer(static_cast<int>(capacity_));
        }
    }
    ~TextSink() {
        if (text_) text_->ReleaseBuffer(static_cast<int>(used_));
    }
    // Room for `units` more.
    char16_t* Reserve(size_t units) {
        if (!text_) {
            scratch_.resize(std::max({scratch_.size(), units, size_t{1}}));
            return scratch_.data();
        }
        if (used_ + units > capacity_) {
            text_->ReleaseBuffer(static_cast<int>(used_));
            const size_t limit = internal::MaxTextUnits() + units;
            capacity_ = std::min(std::max(capacity_ * 2, used_ + units), limit);
            buffer_ = text_->GetBuffer(static_cast<int>(capacity_));
        }
        return buffer_ + used_;
    }
    // Keeps `units` more; false (and the text dropped) when the text would pass the limit.
    bool Commit(size_t units) {
        total_ += units;
        if (total_ > internal::MaxTextUnits()) {
            used_ = 0;
            return false;
        }
        if (text_) used_ += units;
        return true;
    }

  private:
    CString* text_;
    char16_t* buffer_ = nullptr;
    size_t used_ = 0, capacity_ = 0, total_ = 0;
    std::vector<char16_t> scratch_;
};

#endif

// Logs a text too long for a CString as a failed read: the file could not be delivered.
bool TooLong(const CPath& path) {
    Logging::WriteV(kReadFailed, path.GetString(), EFBIG);
    return false;
}

#if !defined(_WIN32)
// The readers below give the text that the Windows C runtime's text mode gives for the same
// bytes (see TextDecoder): a Ctrl-Z ends the text, CR LF arrives as LF, and the lone CR left is
// made LF as well.
bool ReadUnicodeText(const CPath& path, std::FILE* file, Encoding encoding, CString* text) {
    const size_t markLength = MarkLength(encoding);
    const bool utf8 = encoding == kUtf8;
    uint8_t mark[3];
    size_t got;
    bool atEnd;
    if (!ReadLogged(path, file, mark, markLength, &got, &atEnd)) return false;

    const long long fileSize = util_platform::StdioFileSize(file);
    size_t expected = 0;
    if (fileSize > 0) expected = utf8 ? size_t(fileSize) : size_t(fileSize) / 2 + 1;
    TextSink sink(text, expected);
    TextDecoder decoder(utf8 ? ByteEncoding::kUtf8 : ByteEncoding::kUtf16Le);
    const size_t chunkBytes = ChunkBytesFor(fileSize);
    std::vector<uint8_t> chunk(chunkBytes + 4);
    size_t held = 0;  // bytes of an unfinished sequence carried to the next chunk
    bool result = true;
    while (!atEnd) {
        result = ReadLogged(path, file, chunk.data() + held, chunkBytes, &got, &atEnd);
        // After a failed read the bytes held are not the end of the file: an unfinished
        // sequence there is dropped, not decoded as a malformed one.
        const bool last = atEnd && result;
        const size_t available = held + got;
        char16_t* out = sink.Reserve(utf8 ? available : available / 2 + 1);
        size_t consumed = 0;
        if (!sink.Commit(decoder.Decode(chunk.data(), available, last, out, &consumed)))
            return TooLong(path);
        held = available - consumed;
        std::memmove(chunk.data(), chunk.data() + consumed, held);
        if (!result || decoder.Ended()) break;
    }
    return result;
}

bool ReadAnsiText(const CPath& path, std::FILE* file, CString* text) {
    // Every byte gives at least one unit, and folding takes at most half of them away: a text
    // of more than twice the limit cannot fit. Such a file is refused before it is read, and a
    // file that grows past it while it is read stops there, so memory stays bounded.
    const auto tooMany = [](uint64_t bytes) { return bytes / 2 > internal::MaxTextUnits(); };
    std::string bytes;
    const long long fileSize = util_platform::StdioFileSize(file);
    if (fileSize > 0 && tooMany(static_cast<uint64_t>(fileSize))) return TooLong(path);
    if (fileSize > 0) bytes.reserve(static_cast<size_t>(fileSize));
    const size_t chunkBytes = ChunkBytesFor(fileSize);
    bool result = true, atEnd = false;
    while (!atEnd && result) {
        if (tooMany(bytes.size())) return TooLong(path);
        const size_t before = bytes.size();
        bytes.resize(before + chunkBytes);
        size_t got = 0;
        result = ReadLogged(path, file, bytes.data() + before, chunkBytes, &got, &atEnd);
        bytes.resize(before + got);
        const size_t ctrlZ = bytes.find('\x1A', before);  // the end of the text
        if (ctrlZ != std::string::npos) {
            bytes.resize(ctrlZ);
            break;
        }
    }
    if (bytes.empty()) return result;
    if (tooMany(bytes.size())) return TooLong(path);
    std::u16string wide = util_platform::WideFromAnsi(bytes);
    bytes = std::string();
    const size_t length = internal::FoldLineEnds(wide.data(), wide.size());
    if (length > internal::MaxTextUnits()) return TooLong(path);
    if (text) *text = CString(std::u16string_view(wide.data(), length));
    return result;
}

#else
// Windows: the C runtime decodes. "r, ccs=UTF-8" lets the file's mark choose UTF-8 or UTF-16LE
// and delivers wide characters without the mark; "r" delivers the bytes, turned into UTF-16
// from the thread's code page once all are read. Either way CR LF arrives as LF and a Ctrl-Z
// ends the text; the lone CR left is made LF here. Chunks of 1,024 characters or bytes.
constexpr size_t kRuntimeChunk = 1024;

bool ReadRuntimeWide(const CPath& path, std::FILE* file, CString* text) {
    std::u16string buffer;
    char16_t chunk[kRuntimeChunk];
    bool result = true;
    for (;;) {
        size_t got = 0;
        int error = 0;
        result = util_platform::ReadRuntimeUnits(file, chunk, kRuntimeChunk, &got, &error);
        if (buffer.size() + got > internal::MaxTextUnits()) return TooLong(path);
        buffer.append(chunk, got);
        if (!result) {
            Logging::WriteV(kReadFailed, path.GetString(), error);
            break;
        }
        if (got < kRuntimeChunk || std::feof(file)) break;  // the end of the text
    }
    std::replace(buffer.begin(), buffer.end(), u'\r', u'\n');
    if (text && !buffer.empty()) *text = CString(buffer);
    return result;
}

bool ReadRuntimeAnsi(const CPath& path, std::FILE* file, CString* text) {
    std::string bytes;
    char chunk[kRuntimeChunk];
    bool result = true;
    for (;;) {
        size_t got = 0;
        int error = 0;
        result = util_platform::ReadStdioFile(file, chunk, kRuntimeChunk, &got, &error);
        // Each byte gives at most one unit and at least half of one.
        if ((bytes.size() + got) / 2 > internal::MaxTextUnits()) return TooLong(path);
        bytes.append(chunk, got);
        if (!result) {
            Logging::WriteV(kReadFailed, path.GetString(), error);
            break;
        }
        if (got < kRuntimeChunk || std::feof(file)) break;
    }
    if (bytes.empty()) return result;
    std::u16string wide = util_platform::WideFromAnsi(bytes);
    if (wide.size() > internal::MaxTextUnits()) return TooLong(path);
    std::replace(wide.begin(), wide.end(), u'\r', u'\n');
    if (text) *text = CString(wide);
    return result;
}
#endif

}  // namespace

size_t internal::MaxTextUnits() {
    return g_maxUnits.load(std::memory_order_relaxed);
}

void internal::SetMaxTextUnitsForTesting(size_t units) {
    g_maxUnits.store(units == 0 ? kMaxUnits : units, std::memory_order_relaxed);
}

bool GetFileEncoding(const CPath& path, Encoding* encoding) {
    FilePtr file = OpenLogged(path, "rb");
    if (!file) return false;
    uint8_t mark[3] = {0, 0, 0};
    size_t got;
    bool atEnd;
    const bool result = ReadLogged(path, file.get(), mark, sizeof mark, &got, &atEnd);
    if (encoding) {
        if (mark[0] == 0xFF && mark[1] == 0xFE)
            *encoding = kUtf16Le;
        else if (mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF)
            *encoding = kUtf8;
        else
            *encoding = kAnsi;
    }
    return result;
}

bool ReadFileToString(const CPath& path, CString* text) {
    if (text) text->Empty();
    Encoding encoding = kAnsi;
    if (!GetFileEncoding(path, &encoding)) return false;
#if defined(_WIN32)
    FilePtr file = OpenLogged(path, encoding == kAnsi ? "r" : "r, ccs=UTF-8");
    if (!file) return false;
    return encoding == kAnsi ? ReadRuntimeAnsi(path, file.get(), text)
                             : ReadRuntimeWide(path, file.get(), text);
#else
    FilePtr file = OpenLogged(path, "rb");
    if (!file) return false;
    return encoding == kAnsi ? ReadAnsiText(path, file.get(), text)
                             : ReadUnicodeText(path, file.get(), encoding, text);
#endif
}

bool ReadFileToStringDosNewline(const CPath& path, CString* text) {
    if (!ReadFileToString(path, text)) return false;
    if (!text) return true;
    const std::u16string_view view = text->View();
    const size_t lineEnds = static_cast<size_t>(std::count(view.begin(), view.end(), u'\n'));
    if (view.size() + lineEnds > internal::MaxTextUnits()) {
        text->Empty();
        return TooLong(path);
    }
    text->Replace(u"\n", u"\r\n");
    return true;
}

}  // namespace file_util
}  // namespace sdk
}  // namespace common
