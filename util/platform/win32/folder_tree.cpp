#include "util/platform/folder_tree.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include <cstring>
#include <utility>
#include <vector>

#include "util/platform/path.h"
#include "util/platform/win32/wide.h"

namespace util_platform {

// Windows reports failures with the very numbers error_code names, so GetLastError() is passed
// on as it is. Reparse points (junctions, symbolic links) are never entered: a listing refuses
// them, and removal deletes the link itself (RemoveDirectoryW on a junction removes the
// junction, not what it points to).

namespace {

std::function<void(const NativeName&)>& BeforeOpenChildHook() {
    static std::function<void(const NativeName&)> hook;
    return hook;
}

uint32_t LastErrorCode() {
    const DWORD error = ::GetLastError();
    return error == 0 ? error_code::kGeneralFailure : static_cast<uint32_t>(error);
}

// Names are kept as generalised UTF-8 (an unpaired surrogate encoded like any other unit), so
// every name the system gives, valid text or not, maps back to exactly the same units.
NativeName ToNative(const wchar_t* name) {
    NativeName out;
    for (const wchar_t* p = name; *p; ++p) {
        uint32_t unit = static_cast<uint16_t>(*p);
        if (unit >= 0xD800 && unit <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (static_cast<uint16_t>(p[1]) - 0xDC00);
            ++p;
        }
        if (unit < 0x80) {
            out += static_cast<char>(unit);
        } else if (unit < 0x800) {
            out += static_cast<char>(0xC0 | (unit >> 6));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        } else if (unit < 0x10000) {
            out += static_cast<char>(0xE0 | (unit >> 12));
            out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (unit >> 18));
            out += static_cast<char>(0x80 | ((unit >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return out;
}

std::wstring FromNative(const NativeName& name) {
    std::wstring out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
    const size_t size = name.size();
    for (size_t i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        uint32_t value = extra == 0   ? lead
                         : extra == 1 ? (lead & 0x1F)
                         : extra == 2 ? (lead & 0x0F)
                                      : (lead & 0x07);
        ++i;
        for (; extra > 0 && i < size; --extra, ++i) value = (value << 6) | (bytes[i] & 0x3F);
        if (value >= 0x10000) {
            value -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (value >> 10));
            out += static_cast<wchar_t>(0xDC00 + (value & 0x3FF));
        } else {
            out += static_cast<wchar_t>(value);
        }
    }
    return out;
}

std::wstring WithSeparator(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    return folder;
}

bool IsLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

EntryKind KindOfAttributes(DWORD attributes) {
    if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::kNone;
    if (IsLink(attributes)) return EntryKind::kOther;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::kFolder : EntryKind::kOther;
}

// An open listing: the folder held open (so it cannot be renamed or replaced while we work in
// it) and the search over its entries.
struct Listing {
    std::wstring folder;  // with a trailing separator
    HANDLE pin = INVALID_HANDLE_VALUE;
    HANDLE search = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW pending;
    bool hasPending = false;

    ~Listing() {
        if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
        if (pin != INVALID_HANDLE_VALUE) ::CloseHandle(pin);
    }
};

// Opens path as a listing, refusing a reparse point and anything that is not a folder.
Listing* OpenListing(const std::wstring& path, uint32_t* error) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = ::GetLastError();
        *error = code == ERROR_FILE_NOT_FOUND ? error_code::kPathNotFound : LastErrorCode();
        return nullptr;
    }
    if (IsLink(attributes)) {
        *error = error_code::kCantResolveFilename;
        return nullptr;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *error = error_code::kPathNotFound;
        return nullptr;
    }
    auto* listing = new Listing;
    listing->folder = WithSeparator(path);
    // Held without FILE_SHARE_DELETE: the folder cannot be renamed away and swapped for a link
    // while it is listed. FILE_FLAG_OPEN_REPARSE_POINT makes a link that appeared since the
    // check above open as itself, which the attribute test below then refuses.
    listing->pin = ::CreateFileW(
        path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    BY_HANDLE_FILE_INFORMATION info;
    if (listing->pin != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(listing->pin, &info) &&
        IsLink(info.dwFileAttributes)) {
        delete listing;
        *error = error_code::kCantResolveFilename;
        return nullptr;
    }
    const std::wstring pattern = listing->folder + L"*.*";
    listing->search = ::FindFirstFileW(pattern.c_str(), &listing->pending);
    if (listing->search == INVALID_HANDLE_VALUE) {
        *error = LastErrorCode();
        delete listing;
        return nullptr;
    }
    listing->hasPending = true;
    return listing;
}

void ClearReadOnly(const std::wstring& path, DWORD attributes) {
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
}

// Removes a link, or a file, as itself.
void RemoveNonFolder(const std::wstring& path, DWORD attributes) {
    ClearReadOnly(path, attributes);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && IsLink(attributes))
        ::RemoveDirectoryW(path.c_str());
    else
        ::DeleteFileW(path.c_str());
}

void ForceRemoveAt(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (IsLink(attributes) || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        RemoveNonFolder(path, attributes);
        return;
    }
    ClearReadOnly(path, attributes);
    const std::wstring folder = WithSeparator(path);
    WIN32_FIND_DATAW entry;
    HANDLE search = ::FindFirstFileW((folder + L"*.*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (std::wcscmp(entry.cFileName, L".") == 0 || std::wcscmp(entry.cFileName, L"..") == 0)
                continue;
            ForceRemoveAt(folder + entry.cFileName);
        } while (::FindNextFileW(search, &entry));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(path.c_str());
}

// True when anything below path (path itself included) is a reparse point.
bool HoldsLink(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (IsLink(attributes)) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    const std::wstring folder = WithSeparator(path);
    WIN32_FIND_DATAW entry;
    HANDLE search = ::FindFirstFileW((folder + L"*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    do {
        if (std::wcscmp(entry.cFileName, L".") == 0 || std::wcscmp(entry.cFileName, L"..") == 0)
            continue;
        found = IsLink(entry.dwFileAttributes) || HoldsLink(folder + entry.cFileName);
    } while (!found && ::FindNextFileW(search, &entry));
    ::FindClose(search);
    return found;
}

// The shell's deletion, as the last attempt on what our own pass left: FO_DELETE with
// FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI, the source ended by two zero characters.
void ShellDelete(const std::wstring& path) {
    std::vector<wchar_t> source(path.begin(), path.end());
    source.push_back(0);
    source.push_back(0);
    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = nullptr;
    operation.wFunc = FO_DELETE;
    operation.pFrom = source.data();
    operation.pTo = nullptr;
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    (void)::SHFileOperationW(&operation);
}

Listing* AsListing(void* dir) {
    return static_cast<Listing*>(dir);
}

}  // namespace

EntryKind PathKind(std::u16string_view path) {
    if (path.empty()) return EntryKind::kNone;
    const std::wstring wide = win32::Wide(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !IsLink(attributes))
        return KindOfAttributes(attributes);
    // A link: what it leads to counts. Opening follows it (and fails when it dangles).
    HANDLE target =
        ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (target == INVALID_HANDLE_VALUE) return EntryKind::kNone;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = ::GetFileInformationByHandle(target, &info) != FALSE;
    ::CloseHandle(target);
    if (!known) return EntryKind::kNone;
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::kFolder
                                                              : EntryKind::kOther;
}

EntryKind PathEntryKind(std::u16string_view path) {
    if (path.empty()) return EntryKind::kNone;
    return KindOfAttributes(::GetFileAttributesW(win32::Wide(path).c_str()));
}

// Windows: both kinds get the default security, inherited from the parent. The user's
// temporary folder, where owner-only folders are made, is private to its user already.
uint32_t MakeFolder(std::u16string_view path, FolderAccess) {
    if (path.empty()) return error_code::kPathNotFound;
    if (::CreateDirectoryW(win32::Wide(path).c_str(), nullptr)) return 0;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_EXISTS ? error_code::kAlreadyExists : LastErrorCode();
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
    delete AsListing(std::exchange(dir_, nullptr));
}

FolderHandle FolderHandle::Open(std::u16string_view path, uint32_t* error) {
    if (path.empty()) {
        *error = error_code::kPathNotFound;
        return {};
    }
    return FolderHandle(OpenListing(win32::Wide(path), error));
}

FolderHandle FolderHandle::OpenChild(const NativeName& name, uint32_t* error) const {
    if (!dir_) {
        *error = error_code::kPathNotFound;
        return {};
    }
    if (const auto& hook = BeforeOpenChildHook()) hook(name);
    return FolderHandle(OpenListing(AsListing(dir_)->folder + FromNative(name), error));
}

bool FolderHandle::ReadEntry(NativeName* name, uint32_t* error) {
    Listing* listing = AsListing(dir_);
    if (!listing) {
        *error = error_code::kPathNotFound;
        return false;
    }
    if (!listing->hasPending) {
        if (!::FindNextFileW(listing->search, &listing->pending)) {
            *error = LastErrorCode();
            return false;
        }
    }
    listing->hasPending = false;
    *name = ToNative(listing->pending.cFileName);
    return true;
}

EntryKind FolderHandle::ChildKind(const NativeName& name) const {
    if (!dir_) return EntryKind::kNone;
    const std::wstring path = AsListing(dir_)->folder + FromNative(name);
    return KindOfAttributes(::GetFileAttributesW(path.c_str()));
}

bool FolderHandle::DeleteChild(const NativeName& name) const {
    if (!dir_) return false;
    const std::wstring path = AsListing(dir_)->folder + FromNative(name);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    // A link to a folder is removed as a folder entry, which removes the link alone.
    if (attributes != INVALID_FILE_ATTRIBUTES && IsLink(attributes) &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ::RemoveDirectoryW(path.c_str()) != FALSE;
    return ::DeleteFileW(path.c_str()) != FALSE;
}

bool FolderHandle::RemoveChildFolder(const NativeName& name) const {
    if (!dir_) return false;
    const std::wstring path = AsListing(dir_)->folder + FromNative(name);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || IsLink(attributes)) return false;
    return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

bool RemoveEmptyFolder(std::u16string_view path) {
    if (path.empty()) return false;
    const std::wstring wide = win32::Wide(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || IsLink(attributes)) return false;
    return ::RemoveDirectoryW(wide.c_str()) != FALSE;
}

void ForceRemoveTree(std::u16string_view path) {
    const size_t root = PathRootLength(path);
    while (path.size() > root && path.size() > 1 && IsPathSeparator(path.back()))
        path.remove_suffix(1);
    if (path.size() <= root) return;  // never a root
    size_t nameStart = path.size();
    while (nameStart > root && !IsPathSeparator(path[nameStart - 1])) --nameStart;
    const std::u16string_view name = path.substr(nameStart);
    if (name == u"." || name == u"..") return;
    const std::wstring wide = win32::Wide(path);
    ForceRemoveAt(wide);
    // The shell is the second attempt on whatever is left, but only where it cannot reach
    // through a link: it might descend into one.
    if (::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES && !HoldsLink(wide))
        ShellDelete(wide);
}

void SetBeforeOpenChildHookForTesting(std::function<void(const NativeName& name)> hook) {
    BeforeOpenChildHook() = std::move(hook);
}

}  // namespace util_platform
