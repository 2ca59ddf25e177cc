#ifndef UTIL_PLATFORM_FOLDER_TREE_H
#define UTIL_PLATFORM_FOLDER_TREE_H

// Creating, listing and removing folders in a place other users share. Nothing here follows a
// symbolic link where following one could make us delete something outside the folder we were
// given: a listing is opened relative to the folder it lives in and never through a link, and
// entries are removed relative to that folder.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace util_platform {

// Failures are reported with the numbers a Windows system gives the same condition, so that
// logic written against those numbers behaves the same on every platform.
namespace error_code {
constexpr uint32_t kFileNotFound = 2;  // a listing pattern matched nothing (never on POSIX)
constexpr uint32_t kPathNotFound = 3;  // ENOENT, ENOTDIR: the folder (or one above it) is missing
constexpr uint32_t kAccessDenied = 5;  // EACCES, EPERM, EROFS
constexpr uint32_t kTooManyOpenFiles = 4;        // EMFILE, ENFILE
constexpr uint32_t kNotEnoughMemory = 8;         // ENOMEM
constexpr uint32_t kNoMoreFiles = 18;            // the normal end of a listing
constexpr uint32_t kGeneralFailure = 31;         // any other condition
constexpr uint32_t kDiskFull = 112;              // ENOSPC, EDQUOT
constexpr uint32_t kAlreadyExists = 183;         // EEXIST
constexpr uint32_t kFilenameTooLong = 206;       // ENAMETOOLONG, and paths over our limit
constexpr uint32_t kCantResolveFilename = 1921;  // ELOOP: a link where none may be followed
}  // namespace error_code

enum class EntryKind { kNone, kFolder, kOther };

// What path names, following symbolic links (a configured temporary folder may well be a link
// to a folder). kNone when the query fails for any reason, not only when nothing is there.
EntryKind PathKind(std::u16string_view path);

// What path names without following a final symbolic link: a link, dangling or not, is kOther.
// kNone when the query fails.
EntryKind PathEntryKind(std::u16string_view path);

enum class FolderAccess {
    kShared,     // the permissions the user's umask allows, as `mkdir -p` gives
    kOwnerOnly,  // only the owner may list, enter or change it (0700)
};

// Creates one folder (its parent must exist). Answers 0, or an error code: kAlreadyExists when
// anything, even a dangling link, holds the name.
uint32_t MakeFolder(std::u16string_view path, FolderAccess access);

// The name of an entry as the system spells it (bytes on POSIX). Opaque to portable code, so
// that names that are not valid text are still removed by the exact name they have.
using NativeName = std::string;

// True for the listing's entries "." and "..".
bool IsSelfOrParent(const NativeName& name);

// An open folder listing. Move-only; closes itself.
class FolderHandle {
  public:
    FolderHandle() = default;
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // Opens the folder at path for listing. A symbolic link as the last element is refused
    // (kCantResolveFilename), a missing folder gives kPathNotFound. On failure the handle is
    // closed and *error set.
    static FolderHandle Open(std::u16string_view path, uint32_t* error);

    // Opens the entry `name` of this folder as a folder, with the same refusals as Open. Since
    // the entry is found relative to this open folder, renaming or swapping the folders above
    // it cannot redirect us.
    FolderHandle OpenChild(const NativeName& name, uint32_t* error) const;

    bool IsOpen() const { return dir_ != nullptr; }
    void Close();

    // The next entry, "." and ".." included. false when the listing stops; *error is then
    // kNoMoreFiles at its normal end, or the code of the failure.
    bool ReadEntry(NativeName* name, uint32_t* error);

    // The kind of an entry, not following a link. kNone when the query fails. For the entry
    // ReadEntry gave last, the listing's own record answers where it keeps one (POSIX: the
    // entry's d_type), which saves a look at every entry of a tree being removed; an entry
    // removed by someone else since it was listed may then still be told as it was.
    EntryKind ChildKind(const NativeName& name) const;

    // Removes a non-folder entry (a link itself, never its target) / an empty child folder.
    bool DeleteChild(const NativeName& name) const;
    bool RemoveChildFolder(const NativeName& name) const;

  private:
    explicit FolderHandle(void* dir) : dir_(dir) {}
    void* dir_ = nullptr;  // DIR*
};

// Removes an empty folder; a link in its place is not followed (and not removed).
bool RemoveEmptyFolder(std::u16string_view path);

// Removes whatever is at path as thoroughly as the owner can, without reporting: a non-folder
// is unlinked; a folder is made accessible to its owner (where it belongs to us), emptied the
// same way, and removed. Links inside are removed as links. Trailing separators are ignored.
void ForceRemoveTree(std::u16string_view path);

// Calls hook(name) just before OpenChild opens `name`, so that a test can swap the entry for
// something else at the worst moment. An empty function removes the hook.
void SetBeforeOpenChildHookForTesting(std::function<void(const NativeName& name)> hook);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_FOLDER_TREE_H
