#include "util/platform/environment.h"

#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <netinet/in.h>

#include "util/base/utf.h"
#include "util/platform/path.h"

namespace util_platform {
namespace {

const ExecutablePathOverride* g_executableOverride = nullptr;

}  // namespace

bool ExecutablePath(std::u16string* path, int* error) {
    if (g_executableOverride) {
        if (!g_executableOverride->path) {
            *error = g_executableOverride->error;
            return false;
        }
        *path = *g_executableOverride->path;
        return true;
    }
    // readlink does not say whether it cut the name; grow the buffer until it clearly did not.
    std::string buffer(PATH_MAX, '\0');
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            *error = errno;
            return false;
        }
        if (static_cast<size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<size_t>(n));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    *path = util_base::Utf8ToUtf16(buffer);
    return true;
}

void SetExecutablePathForTesting(const ExecutablePathOverride* value) {
    g_executableOverride = value;
}

bool OsVersion(OsVersionRecord*) {
    return false;
}

bool UsbBusPresent() {
    struct stat st;
    return ::stat("/sys/bus/usb", &st) == 0 && S_ISDIR(st.st_mode);
}

bool Ipv6SocketAvailable() {
    int fd = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool ListSubfolders(std::u16string_view folder, std::vector<std::u16string>* names) {
    names->clear();
    std::string native = NativePath(folder);
    if (native.empty()) return false;
    DIR* dir = ::opendir(native.c_str());
    if (!dir) return false;
    int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st;
            isFolder = ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (isFolder) names->push_back(util_base::Utf8ToUtf16(name));
    }
    ::closedir(dir);
    return true;
}

}  // namespace util_platform
