#include "util/platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>

#include "util/platform/path.h"
#include "util/platform/profile_reader.h"

namespace util_platform {
namespace {

// The whole file, or "" when it cannot be opened or read, is not a regular file (a FIFO would
// keep the open waiting, a device may never end) or holds more than kMaxProfileBytes: each of
// those then reads as a file without sections, like a missing one.
std::string ReadAllBytes(std::u16string_view path) {
    std::string bytes;
    int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return bytes;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size > static_cast<off_t>(kMaxProfileBytes)) {
        ::close(fd);
        return bytes;
    }
    try {
        bytes.reserve(static_cast<size_t>(st.st_size));
        char chunk[65536];
        for (;;) {
            ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            // A file that grew past the limit while it was read counts as too large, too.
            if (n < 0 || bytes.size() + static_cast<size_t>(n) > kMaxProfileBytes) {
                bytes.clear();
                break;
            }
            if (n == 0) break;
            bytes.append(chunk, static_cast<size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        bytes.clear();
    }
    ::close(fd);
    return bytes;
}

}  // namespace

// The file is read whole and handed to the portable reader, which gives the answers the
// Windows profile API gives on the same file.
uint32_t ReadProfileSection(std::u16string_view file, std::u16string_view section, char16_t* buffer,
                            uint32_t size) {
    return ProfileFile(file).ReadSection(section, buffer, size);
}

uint32_t ReadProfileString(std::u16string_view file, std::u16string_view section,
                           std::u16string_view key, std::u16string_view fallback, char16_t* buffer,
                           uint32_t size) {
    return ProfileFile(file).ReadString(section, key, fallback, buffer, size);
}

ProfileFile::ProfileFile(std::u16string_view path) : path_(path), bytes_(ReadAllBytes(path)) {}

uint32_t ProfileFile::ReadSection(std::u16string_view section, char16_t* buffer, uint32_t size) {
    if (buffer == nullptr || size < 2) return CopySectionAnswer(u"", buffer, size);
    if (!haveAnswer_ || !answerIsSection_ || section_ != section) {
        answer_ = ProfileSectionAnswer(bytes_, section);
        section_ = section;
        haveAnswer_ = answerIsSection_ = true;
    }
    return CopySectionAnswer(answer_, buffer, size);
}

bool ProfileFile::VisitSection(std::u16string_view section, uint32_t /*firstSize*/,
                               const std::function<void(std::u16string_view)>& visit) {
    bool any = false;
    VisitProfileSection(bytes_, section, [&](std::u16string_view entry) {
        any = true;
        visit(entry);
    });
    return any;
}

uint32_t ProfileFile::ReadString(std::u16string_view section, std::u16string_view key,
                                 std::u16string_view fallback, char16_t* buffer, uint32_t size) {
    if (!haveAnswer_ || answerIsSection_ || section_ != section || key_ != key ||
        fallback_ != fallback) {
        answer_ = ProfileStringAnswer(bytes_, section, key, fallback);
        section_ = section;
        key_ = key;
        fallback_ = fallback;
        haveAnswer_ = true;
        answerIsSection_ = false;
    }
    return CopyStringAnswer(answer_, buffer, size);
}

}  // namespace util_platform
