#include "util/platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "util/platform/path.h"
#include "util/platform/profile_reader.h"

namespace util_platform {
namespace {

// The whole file, or "" when it cannot be opened or read (which then reads as a file without
// sections, like a missing one).
std::string ReadAllBytes(std::u16string_view path) {
    std::string bytes;
    int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        bytes.reserve(static_cast<size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) bytes.clear();
            break;
        }
        bytes.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return bytes;
}

}  // namespace

// The file is read whole and handed to the portable reader, which gives the answers the
// Windows profile API gives on the same file.
uint32_t ReadProfileSection(std::u16string_view file, std::u16string_view section, char16_t* buffer,
                            uint32_t size) {
    return ReadProfileSectionText(ReadAllBytes(file), section, buffer, size);
}

uint32_t ReadProfileString(std::u16string_view file, std::u16string_view section,
                           std::u16string_view key, std::u16string_view fallback, char16_t* buffer,
                           uint32_t size) {
    return ReadProfileStringText(ReadAllBytes(file), section, key, fallback, buffer, size);
}

}  // namespace util_platform
