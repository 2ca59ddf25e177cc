#include "util/platform/temp_folder.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>

#include "util/base/utf.h"
#include "util/platform/path.h"
#include "util/platform/posix/private_temp_parent.h"

namespace util_platform {
namespace {

std::mutex g_parentMutex;
std::string g_parent = "/tmp";

std::string PrivateTempParent() {
    std::lock_guard<std::mutex> lock(g_parentMutex);
    return g_parent;
}

// A real folder (not a link), owned by us, that no one else may list, enter or change.
bool IsPrivateFolder(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

// "<parent>/tessmar-<uid>", made 0700 when missing; empty when it is missing and cannot be
// made, or exists and is not private (it may have been planted by another user: never fixed,
// never used).
std::string PrivateTempFolder() {
    const std::string path = PrivateTempParent() + "/tessmar-" + std::to_string(::geteuid());
    // mkdir applies the umask, which can only take bits away from 0700: the result is private
    // or less than that, and the check below tells.
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return std::string();
    return IsPrivateFolder(path) ? path : std::string();
}

// The classic path limit (MAX_PATH): a name must stay below it.
constexpr size_t kMaxPathLength = 260;

}  // namespace

void SetPrivateTempParentForTesting(const std::string& parent) {
    std::lock_guard<std::mutex> lock(g_parentMutex);
    g_parent = parent.empty() ? "/tmp" : parent;
}

std::u16string TempFolder() {
    const char* value = std::getenv("TMPDIR");
    std::u16string folder;
    if (value && *value) {
        folder = util_base::Utf8ToUtf16(value);
    } else {
        const std::string own = PrivateTempFolder();
        if (own.empty()) return std::u16string();
        folder = util_base::Utf8ToUtf16(own);
    }
    if (!IsPathSeparator(folder.back())) folder += kPathSeparator;
    return folder;
}

std::u16string TempFileName(std::u16string_view folder, uint32_t u) {
    static const char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string digits;
    do {
        digits.insert(digits.begin(), kHex[u % 16]);
        u /= 16;
    } while (u != 0);
    std::u16string name(folder);
    if (!name.empty() && !IsPathSeparator(name.back())) name += kPathSeparator;
    name += u"tmp" + digits + u".TMP";
    if (name.size() >= kMaxPathLength) return {};
    return name;
}

}  // namespace util_platform
