#include "util/platform/stdio_file.h"

#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

#include <cerrno>
#include <string>

#include "util/platform/win32/faults.h"
#include "util/platform/win32/wide.h"

namespace util_platform {

namespace {

// A stream reads and writes files only: a reserved name (NUL, CON, AUX, COM1, ... in any folder,
// with any extension) opens a device, and a read from some of them (AUX, the console) waits
// without end. Such a stream is closed again and the open fails with EINVAL, as POSIX refuses a
// FIFO or a device.
std::FILE* DiskFileOnly(std::FILE* stream, int* error) {
    if (stream == nullptr) return nullptr;
    const intptr_t system = ::_get_osfhandle(::_fileno(stream));
    if (system != -1 && ::GetFileType(reinterpret_cast<HANDLE>(system)) == FILE_TYPE_DISK)
        return stream;
    std::fclose(stream);
    if (error != nullptr) *error = EINVAL;
    errno = EINVAL;
    return nullptr;
}

}  // namespace

// Streams of OpenStdioFile take part in the share modes as the library's handles do: while the
// stream is open, others may read the file but not write it (_SH_DENYWR), and a file another opener
// is writing cannot be opened. A folder cannot be opened as a stream at all (EACCES). A write mode
// may follow a link in the file's place: only a privileged user can make one on Windows.
std::FILE* OpenStdioFile(std::u16string_view path, const char* mode, int* error) {
    if (mode == nullptr || path.empty()) {
        if (error != nullptr) *error = path.empty() ? ENOENT : EINVAL;
        return nullptr;
    }
    win32::FaultCodes fault;
    if (!win32::OpenAllowed(&fault)) {
        if (error != nullptr) *error = fault.runtime;
        return nullptr;
    }
    const std::wstring widePath = win32::Wide(path);
    std::wstring wideMode;
    for (const char* p = mode; *p; ++p) wideMode += static_cast<wchar_t>(*p);
    errno = 0;
    std::FILE* stream = ::_wfsopen(widePath.c_str(), wideMode.c_str(), _SH_DENYWR);
    if (stream == nullptr && error != nullptr) *error = errno != 0 ? errno : EINVAL;
    return DiskFileOnly(stream, error);
}

// The injected read faults apply here; reads a caller makes with fread itself go straight to
// the C runtime, which has no place to intercept them.
bool ReadStdioFile(std::FILE* stream, void* buffer, std::size_t count, std::size_t* got,
                   int* error) {
    // Like fread over a failing device: the stream keeps asking until the request is met, the
    // file ends or a read fails, so an injected fault part way gives the bytes read before it
    // together with the failure, never a short read that looks like the end of the file.
    *got = 0;
    while (*got < count) {
        size_t allowed = count - *got;
        win32::FaultCodes fault;
        if (!win32::AllowedRead(count - *got, &allowed, &fault)) {
            *error = fault.runtime;
            return false;
        }
        errno = 0;
        const size_t read = std::fread(static_cast<char*>(buffer) + *got, 1, allowed, stream);
        *got += read;
        if (std::ferror(stream)) {
            *error = errno != 0 ? errno : EIO;
            return false;
        }
        if (read < allowed) break;  // the end of the file
    }
    return true;
}

std::FILE* OpenRuntimeStream(std::u16string_view path, std::u16string_view mode, int* error) {
    win32::FaultCodes fault;
    if (!win32::OpenAllowed(&fault)) {
        *error = fault.runtime;
        return nullptr;
    }
    const std::wstring widePath = win32::Wide(path), wideMode = win32::Wide(mode);
    std::FILE* stream = nullptr;
    const errno_t result = ::_wfopen_s(&stream, widePath.c_str(), wideMode.c_str());
    if (stream == nullptr) *error = result != 0 ? result : EINVAL;
    return DiskFileOnly(stream, error);
}

bool ReadRuntimeUnits(std::FILE* stream, char16_t* buffer, std::size_t count, std::size_t* got,
                      int* error) {
    // As ReadStdioFile: an injected fault part way gives the units before it and the failure.
    *got = 0;
    while (*got < count) {
        size_t allowed = 0;
        win32::FaultCodes fault;
        if (!win32::AllowedRead((count - *got) * sizeof(wchar_t), &allowed, &fault)) {
            *error = fault.runtime;
            return false;
        }
        const size_t want = allowed / sizeof(wchar_t);
        if (want == 0) continue;  // the budget is spent: the next check fails
        errno = 0;
        const size_t read = std::fread(buffer + *got, sizeof(wchar_t), want, stream);
        if (read > want) {  // the runtime's -1 for a conversion it could not make
            *error = errno != 0 ? errno : EILSEQ;
            return false;
        }
        *got += read;
        if (std::ferror(stream)) {
            *error = errno != 0 ? errno : EIO;
            return false;
        }
        if (read < want) break;  // the end of the text
    }
    return true;
}

long long StdioFileSize(std::FILE* stream) {
    struct _stat64 st;
    if (stream == nullptr || ::_fstat64(_fileno(stream), &st) != 0 ||
        (st.st_mode & _S_IFMT) != _S_IFREG || st.st_size < 0)
        return -1;
    return static_cast<long long>(st.st_size);
}

}  // namespace util_platform
