// Streams over the handle table: each stream is a glibc cookie stream whose reads, writes,
// seeks and close go through one FileHandle, so that streams meet the share modes, the link
// rule and the injected faults of the handle layer, and fclose releases the file's share entry.

#include "util/platform/stdio_file.h"

#include <stdio.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

#include "util/platform/file.h"
#include "util/platform/posix/file_posix.h"

namespace util_platform {
namespace {

struct Cookie {
    FileHandle handle = nullptr;
    bool append = false;  // every write goes to the end, as O_APPEND would
    std::FILE* stream = nullptr;
};

// The streams opened here, for StdioFileSize (a cookie stream has no descriptor to ask).
std::mutex g_streamsMutex;
std::unordered_map<std::FILE*, Cookie*>& Streams() {
    static auto* streams = new std::unordered_map<std::FILE*, Cookie*>;
    return *streams;
}

constexpr size_t kMaxTransfer = size_t{1} << 30;  // one call moves at most this much

ssize_t CookieRead(void* cookie, char* buffer, size_t size) {
    uint32_t got = 0;
    const auto want = static_cast<uint32_t>(size < kMaxTransfer ? size : kMaxTransfer);
    if (!ReadFileHandle(static_cast<Cookie*>(cookie)->handle, buffer, want, &got)) return -1;
    return static_cast<ssize_t>(got);
}

// A short count tells the stream that the write failed (errno says why).
ssize_t CookieWrite(void* cookie, const char* buffer, size_t size) {
    Cookie* c = static_cast<Cookie*>(cookie);
    if (c->append && SeekFileHandle(c->handle, 0, SEEK_END) < 0) return 0;
    const auto want = static_cast<uint32_t>(size < kMaxTransfer ? size : kMaxTransfer);
    uint32_t written = 0;
    WriteFileHandle(c->handle, buffer, want, &written);
    return static_cast<ssize_t>(written);
}

int CookieSeek(void* cookie, off64_t* offset, int whence) {
    const int64_t position = SeekFileHandle(static_cast<Cookie*>(cookie)->handle, *offset, whence);
    if (position < 0) return -1;
    *offset = position;
    return 0;
}

int CookieClose(void* cookie) {
    Cookie* c = static_cast<Cookie*>(cookie);
    {
        std::lock_guard<std::mutex> lock(g_streamsMutex);
        Streams().erase(c->stream);
    }
    const bool closed = CloseFileHandle(c->handle);
    delete c;
    return closed ? 0 : EOF;
}

// What a standard fopen mode asks of the file, or false for a mode we do not know. Accepted:
// "r", "w" or "a", then "+", "b" and "t" in any order, each at most once.
bool OptionsForMode(const char* mode, FileOpenOptions* options, std::string* streamMode,
                    bool* append) {
    if (mode == nullptr || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) return false;
    bool plus = false, binary = false, text = false;
    for (const char* p = mode + 1; *p; ++p) {
        bool* flag = *p == '+' ? &plus : *p == 'b' ? &binary : *p == 't' ? &text : nullptr;
        if (flag == nullptr || *flag) return false;
        *flag = true;
    }
    if (binary && text) return false;
    const char base = mode[0];
    options->access = base == 'r' ? kAccessRead : kAccessWrite;
    if (plus) options->access = kAccessReadWrite;
    options->share = kAccessRead;
    options->creation = base == 'r'   ? FileCreation::kOpenExisting
                        : base == 'w' ? FileCreation::kCreateAlways
                                      : FileCreation::kOpenAlways;
    options->noFollow = (options->access & kAccessWrite) != 0;
    options->regularOnly = true;  // a stream reads or writes a file, never a FIFO or device
    *streamMode = std::string(1, base) + (plus ? "+" : "");
    *append = base == 'a';
    return true;
}

}  // namespace

std::FILE* OpenStdioFile(std::u16string_view path, const char* mode, int* error) {
    FileOpenOptions options;
    std::string streamMode;
    bool append = false;
    auto fail = [error](int number) -> std::FILE* {
        if (error != nullptr) *error = number != 0 ? number : EINVAL;
        errno = number != 0 ? number : EINVAL;
        return nullptr;
    };
    if (!OptionsForMode(mode, &options, &streamMode, &append)) return fail(EINVAL);
    errno = 0;
    FileHandle handle = OpenFileShared(path, options);
    if (handle == nullptr) return fail(errno);
    auto* cookie = new Cookie;
    cookie->handle = handle;
    cookie->append = append;
    const cookie_io_functions_t functions = {CookieRead, CookieWrite, CookieSeek, CookieClose};
    std::lock_guard<std::mutex> lock(g_streamsMutex);
    std::FILE* stream = ::fopencookie(cookie, streamMode.c_str(), functions);
    if (stream == nullptr) {
        const int number = errno;
        CloseFileHandle(handle);
        delete cookie;
        return fail(number != 0 ? number : ENOMEM);
    }
    cookie->stream = stream;
    Streams()[stream] = cookie;
    return stream;
}

bool ReadStdioFile(std::FILE* stream, void* buffer, std::size_t count, std::size_t* got,
                   int* error) {
    errno = 0;
    *got = std::fread(buffer, 1, count, stream);
    if (!std::ferror(stream)) return true;
    if (error != nullptr) *error = errno != 0 ? errno : EIO;
    return false;
}

long long StdioFileSize(std::FILE* stream) {
    if (stream == nullptr) return -1;
    FileHandle handle = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_streamsMutex);
        auto found = Streams().find(stream);
        if (found != Streams().end()) handle = found->second->handle;
    }
    if (handle != nullptr)
        return IsRegularFileHandle(handle) ? static_cast<long long>(FileSize(handle)) : -1;
    // A stream of the C library's own (stdin, a pipe): ask its descriptor.
    struct stat st;
    const int fd = ::fileno(stream);
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return -1;
    return static_cast<long long>(st.st_size);
}

}  // namespace util_platform
