#include "util/platform/folder_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "util/platform/path.h"

namespace util_platform {

namespace {

constexpr int kOpenFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::function<void(const NativeName&)>& BeforeOpenChildHook() {
    static std::function<void(const NativeName&)> hook;
    return hook;
}

uint32_t ErrorFromErrno(int error) {
    switch (error) {
        case 0:
            return error_code::kGeneralFailure;
        case ENOENT:
        case ENOTDIR:
            return error_code::kPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return error_code::kAccessDenied;
        case EMFILE:
        case ENFILE:
            return error_code::kTooManyOpenFiles;
        case ENOMEM:
            return error_code::kNotEnoughMemory;
        case ENOSPC:
        case EDQUOT:
            return error_code::kDiskFull;
        case EEXIST:
            return error_code::kAlreadyExists;
        case ENAMETOOLONG:
            return error_code::kFilenameTooLong;
        case ELOOP:
            return error_code::kCantResolveFilename;
        default:
            return error_code::kGeneralFailure;
    }
}

EntryKind KindOf(const struct stat& st) {
    return S_ISDIR(st.st_mode) ? EntryKind::kFolder : EntryKind::kOther;
}

// An open listing, and the entry it gave last: its type as the listing recorded it (d_type)
// answers ChildKind for that entry without another look at the entry (fstatat). The type comes
// from the folder itself, so a link is a link there as with AT_SYMLINK_NOFOLLOW.
struct Listing {
    DIR* dir;
    const struct dirent* last = nullptr;
};

Listing* AsListing(void* dir) {
    return static_cast<Listing*>(dir);
}

int FolderFd(void* dir) {
    return ::dirfd(AsListing(dir)->dir);
}

// Wraps an open folder descriptor in a listing; the descriptor is closed on failure.
void* ListingOf(int fd, uint32_t* error) {
    if (fd < 0) {
        *error = ErrorFromErrno(errno);
        return nullptr;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        *error = ErrorFromErrno(errno);
        ::close(fd);
        return nullptr;
    }
    return new Listing{dir};
}

void ForceRemoveAt(int parent, const char* name) {
    struct stat st;
    if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        ::unlinkat(parent, name, 0);
        return;
    }
    int fd = ::openat(parent, name, kOpenFolderFlags);
    if (fd >= 0) {
        // A folder without write or search permission for its owner cannot be emptied; the
        // owner may grant them back. Fails harmlessly on folders of other users.
        if ((st.st_mode & S_IRWXU) != S_IRWXU) ::fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
        if (DIR* dir = ::fdopendir(fd)) {
            while (struct dirent* entry = ::readdir(dir)) {
                if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                    continue;
                ForceRemoveAt(::dirfd(dir), entry->d_name);
            }
            ::closedir(dir);
        } else {
            ::close(fd);
        }
    }
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

}  // namespace

EntryKind PathKind(std::u16string_view path) {
    struct stat st;
    if (path.empty() || ::stat(NativePath(path).c_str(), &st) != 0) return EntryKind::kNone;
    return KindOf(st);
}

EntryKind PathEntryKind(std::u16string_view path) {
    struct stat st;
    if (path.empty() || ::lstat(NativePath(path).c_str(), &st) != 0) return EntryKind::kNone;
    return KindOf(st);
}

uint32_t MakeFolder(std::u16string_view path, FolderAccess access) {
    mode_t mode = access == FolderAccess::kOwnerOnly ? S_IRWXU : (S_IRWXU | S_IRWXG | S_IRWXO);
    if (path.empty()) return error_code::kPathNotFound;
    if (::mkdir(NativePath(path).c_str(), mode) == 0) return 0;
    return ErrorFromErrno(errno);
}

bool IsSelfOrParent(const NativeName& name) {
    return name == "." || name == "..";
}

FolderHandle::~FolderHandle() {
    Close();
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept
    : dir_(std::exchange(other.dir_, nullptr)) {}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        Close();
        dir_ = std::exchange(other.dir_, nullptr);
    }
    return *this;
}

void FolderHandle::Close() {
    if (Listing* listing = AsListing(std::exchange(dir_, nullptr))) {
        ::closedir(listing->dir);
        delete listing;
    }
}

FolderHandle FolderHandle::Open(std::u16string_view path, uint32_t* error) {
    if (path.empty()) {
        *error = error_code::kPathNotFound;
        return {};
    }
    return FolderHandle(ListingOf(::open(NativePath(path).c_str(), kOpenFolderFlags), error));
}

FolderHandle FolderHandle::OpenChild(const NativeName& name, uint32_t* error) const {
    if (!dir_) {
        *error = error_code::kPathNotFound;
        return {};
    }
    if (const auto& hook = BeforeOpenChildHook()) hook(name);
    return FolderHandle(ListingOf(::openat(FolderFd(dir_), name.c_str(), kOpenFolderFlags), error));
}

bool FolderHandle::ReadEntry(NativeName* name, uint32_t* error) {
    if (!dir_) {
        *error = error_code::kPathNotFound;
        return false;
    }
    Listing* listing = AsListing(dir_);
    errno = 0;
    struct dirent* entry = ::readdir(listing->dir);
    listing->last = entry;
    if (!entry) {
        *error = errno == 0 ? error_code::kNoMoreFiles : ErrorFromErrno(errno);
        return false;
    }
    name->assign(entry->d_name);
    return true;
}

EntryKind FolderHandle::ChildKind(const NativeName& name) const {
    if (!dir_) return EntryKind::kNone;
    const struct dirent* last = AsListing(dir_)->last;
    if (last != nullptr && last->d_type != DT_UNKNOWN && name == last->d_name)
        return last->d_type == DT_DIR ? EntryKind::kFolder : EntryKind::kOther;
    struct stat st;
    if (::fstatat(FolderFd(dir_), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return EntryKind::kNone;
    return KindOf(st);
}

bool FolderHandle::DeleteChild(const NativeName& name) const {
    return dir_ && ::unlinkat(FolderFd(dir_), name.c_str(), 0) == 0;
}

bool FolderHandle::RemoveChildFolder(const NativeName& name) const {
    return dir_ && ::unlinkat(FolderFd(dir_), name.c_str(), AT_REMOVEDIR) == 0;
}

bool RemoveEmptyFolder(std::u16string_view path) {
    return !path.empty() && ::rmdir(NativePath(path).c_str()) == 0;
}

void ForceRemoveTree(std::u16string_view path) {
    while (path.size() > 1 && IsPathSeparator(path.back())) path.remove_suffix(1);
    if (path.empty()) return;
    std::string native = NativePath(path);
    size_t slash = native.rfind('/');
    if (slash == std::string::npos) {
        if (IsSelfOrParent(native)) return;
        ForceRemoveAt(AT_FDCWD, native.c_str());
        return;
    }
    std::string parent = slash == 0 ? "/" : native.substr(0, slash);
    std::string name = native.substr(slash + 1);
    if (name.empty() || IsSelfOrParent(name)) return;  // never the root, "." or ".."
    int fd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ForceRemoveAt(fd, name.c_str());
    ::close(fd);
}

void SetBeforeOpenChildHookForTesting(std::function<void(const NativeName& name)> hook) {
    BeforeOpenChildHook() = std::move(hook);
}

}  // namespace util_platform
