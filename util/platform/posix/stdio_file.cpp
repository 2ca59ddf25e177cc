#include "util/platform/stdio_file.h"

#include <sys/stat.h>

#include <cerrno>

#include "util/platform/path.h"

namespace util_platform {

std::FILE* OpenStdioFile(std::u16string_view path, const char* mode, int* error) {
    errno = 0;
    std::FILE* stream = std::fopen(NativePath(path).c_str(), mode);
    if (stream == nullptr && error != nullptr) *error = errno != 0 ? errno : EINVAL;
    return stream;
}

long long StdioFileSize(std::FILE* stream) {
    struct stat st;
    if (stream == nullptr || ::fstat(fileno(stream), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size < 0)
        return -1;
    return static_cast<long long>(st.st_size);
}

}  // namespace util_platform
