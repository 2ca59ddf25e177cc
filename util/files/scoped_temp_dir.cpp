#include "util/files/scoped_temp_dir.h"

#include <string>

#include "util/files/scoped_temp_dir_internal.h"
#include "util/platform/folder_tree.h"
#include "util/platform/path.h"
#include "util/platform/temp_folder.h"

namespace common {
namespace sdk {

namespace temp_dir_internal {

std::u16string ParentFolder(std::u16string_view path) {
    size_t root = util_platform::PathRootLength(path);
    if (path.size() <= root) return std::u16string(path);
    size_t end = path.size();
    if (util_platform::IsPathSeparator(path[end - 1])) --end;
    while (end > 0) {
        if (util_platform::IsPathSeparator(path[end - 1]))
            return std::u16string(path.substr(0, end));
        --end;
    }
    return std::u16string(path.substr(0, root));
}

std::u16string CandidateName(std::u16string_view folder, uint32_t u) {
    std::u16string name = util_platform::TempFileName(folder, u);
    if (name.size() >= static_cast<size_t>(ScopedTempDir::kMaxPath)) return {};
    return name;
}

}  // namespace temp_dir_internal

namespace {

using temp_dir_internal::CandidateName;
using temp_dir_internal::ParentFolder;
using util_platform::EntryKind;
using util_platform::FolderHandle;
using util_platform::NativeName;
namespace error_code = util_platform::error_code;

constexpr uint32_t kLastNumber = 0xFFFE;

// Makes sure path is a folder, creating its missing parents first.
void EnsureFolder(const std::u16string& path) {
    switch (util_platform::PathKind(path)) {
        case EntryKind::kFolder:
            return;
        case EntryKind::kOther:
            throw NCcl::CErrNotFolder();
        case EntryKind::kNone:
            break;
    }
    // A relative path's parent may come out empty: that is the current folder, which exists.
    std::u16string parent = ParentFolder(path);
    if (!parent.empty() && parent != path) EnsureFolder(parent);
    if (uint32_t error = util_platform::MakeFolder(path, util_platform::FolderAccess::kShared))
        throw NCcl::CErrWin32(error);  // creating the folder
}

bool IsEmptyListing(uint32_t error) {
    return error == error_code::kFileNotFound || error == error_code::kNoMoreFiles;
}

void RemoveChildTree(const FolderHandle& parent, const NativeName& name);

// Removes every entry of an open folder. Entries that cannot be queried or removed are left;
// only a listing that breaks off throws.
void EmptyFolder(FolderHandle& folder) {
    NativeName name;
    uint32_t error = 0;
    while (folder.ReadEntry(&name, &error)) {
        if (util_platform::IsSelfOrParent(name)) continue;
        switch (folder.ChildKind(name)) {
            case EntryKind::kNone:
                break;
            case EntryKind::kFolder:
                RemoveChildTree(folder, name);
                break;
            case EntryKind::kOther:
                folder.DeleteChild(name);
                break;
        }
    }
    folder.Close();
    if (error != error_code::kNoMoreFiles) throw NCcl::CErrWin32(error);  // continuing a listing
}

void RemoveChildTree(const FolderHandle& parent, const NativeName& name) {
    uint32_t error = 0;
    FolderHandle child = parent.OpenChild(name, &error);
    if (child.IsOpen()) {
        EmptyFolder(child);
    } else if (!IsEmptyListing(error)) {
        throw NCcl::CErrWin32(error);  // starting a listing
    }
    parent.RemoveChildFolder(name);
}

void RemoveTree(const std::u16string& path) {
    uint32_t error = 0;
    FolderHandle folder = FolderHandle::Open(path, &error);
    if (folder.IsOpen()) {
        EmptyFolder(folder);
    } else if (!IsEmptyListing(error)) {
        throw NCcl::CErrWin32(error);  // starting a listing
    }
    util_platform::RemoveEmptyFolder(path);
}

}  // namespace

ScopedTempDir::ScopedTempDir() {
    path_[0] = 0;
}

ScopedTempDir::~ScopedTempDir() {
    // An error escaping a destructor would end the process; a directory that cannot be
    // removed is not worth that.
    try {
        Delete();
    } catch (...) {
    }
}

bool ScopedTempDir::Create() {
    Delete();
    try {
        std::u16string folder = util_platform::TempFolder();
        if (folder.empty() || folder.size() >= static_cast<size_t>(kMaxPath))
            throw NCcl::CErrWin32(error_code::kFilenameTooLong);  // asking for the folder
        EnsureFolder(folder);
        for (uint32_t u = 1; u <= kLastNumber; ++u) {
            std::u16string candidate = CandidateName(folder, u);
            if (candidate.empty()) continue;
            candidate.copy(path_, candidate.size());
            path_[candidate.size()] = 0;
            // The existence check does not follow links: a dangling link still takes the name.
            if (util_platform::PathEntryKind(candidate) != EntryKind::kNone) continue;
            // The name may have been taken since the check; we never reuse what is there.
            if (uint32_t error =
                    util_platform::MakeFolder(candidate, util_platform::FolderAccess::kOwnerOnly))
                throw NCcl::CErrWin32(error);  // creating the directory
            return true;
        }
        throw NCcl::CErrFailToCreateTmpFolder();  // every number is taken
    } catch (...) {
        path_[0] = 0;
        throw NCcl::CErrFailToCreateTmpFolder();
    }
}

bool ScopedTempDir::GetPath(CPath* path) const {
    if (path_[0] == 0) return false;
    if (path) *path = CPath(path_);
    return true;
}

void ScopedTempDir::Delete() {
    if (path_[0] == 0) return;
    const std::u16string held(path_);
    RemoveTree(held);
    path_[0] = 0;
    // Whatever the first pass could not remove gets a second, forceful attempt; its outcome
    // is not reported.
    if (util_platform::PathEntryKind(held) != EntryKind::kNone)
        util_platform::ForceRemoveTree(held);
}

}  // namespace sdk
}  // namespace common
