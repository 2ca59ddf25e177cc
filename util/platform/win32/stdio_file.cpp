#include "util/platform/stdio_file.h"

#include <share.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <string>

#include "util/platform/win32/wide.h"

namespace util_platform {

// Streams take part in the share modes as the library's handles do: while the stream is open,
// others may read the file but not write it (_SH_DENYWR), and a file another opener is writing
// cannot be opened. A folder cannot be opened as a stream at all (EACCES).
std::FILE* OpenStdioFile(std::u16string_view path, const char* mode, int* error) {
    if (mode == nullptr || path.empty()) {
        if (error != nullptr) *error = path.empty() ? ENOENT : EINVAL;
        return nullptr;
    }
    const std::wstring widePath = win32::Wide(path);
    std::wstring wideMode;
    for (const char* p = mode; *p; ++p) wideMode += static_cast<wchar_t>(*p);
    errno = 0;
    std::FILE* stream = ::_wfsopen(widePath.c_str(), wideMode.c_str(), _SH_DENYWR);
    if (stream == nullptr && error != nullptr) *error = errno != 0 ? errno : EINVAL;
    return stream;
}

long long StdioFileSize(std::FILE* stream) {
    struct _stat64 st;
    if (stream == nullptr || ::_fstat64(_fileno(stream), &st) != 0 ||
        (st.st_mode & _S_IFMT) != _S_IFREG || st.st_size < 0)
        return -1;
    return static_cast<long long>(st.st_size);
}

}  // namespace util_platform
