// CFileAccess: the handle operations and the helpers that look only at names.

#include <cerrno>
#include <cstdint>

#include "util/files/file_access.h"
#include "util/files/file_access_internal.h"
#include "util/platform/file.h"

namespace {

using util_platform::FileCreation;
using util_platform::FileOpenOptions;

// The longest folder text the fallback folders may have, terminator included.
constexpr size_t kFolderBufferChars = 260;

const FileHandle kInvalidHandle = reinterpret_cast<FileHandle>(~uintptr_t{0});

bool OptionsForMode(FileMode mode, FileOpenOptions* options) {
    options->share = util_platform::kAccessRead;
    options->readOnly = false;
    options->regularOnly = true;  // FIFOs and devices only through FA_OpenDevice
    switch (mode) {
        case FM_Read:
            options->access = util_platform::kAccessRead;
            options->creation = FileCreation::kOpenExisting;
            options->readOnly = true;
            return true;
        // The modes that create, truncate or write never follow a link at the name: a link
        // planted there must not redirect the write to the file it points to.
        case FM_Create:
            options->access = util_platform::kAccessReadWrite;
            options->creation = FileCreation::kCreateAlways;
            options->noFollow = true;
            return true;
        case FM_Append:
            options->access = util_platform::kAccessReadWrite;
            options->creation = FileCreation::kOpenAlways;
            options->noFollow = true;
            return true;
    }
    return false;
}

std::u16string_view ViewOf(const char16_t* text) {
    return text ? std::u16string_view(text) : std::u16string_view();
}

}  // namespace

int CFileAccess::FA_GetFileSize(const char16_t* path, uint32_t* size) {
    if (!size) {
        util_platform::SetLastError(EINVAL);
        return 0;
    }
    FileOpenOptions options;
    options.access = util_platform::kAccessNone;  // attribute query only
    options.share = util_platform::kAccessRead;
    options.creation = FileCreation::kOpenExisting;
    FileHandle handle = util_platform::OpenFileShared(ViewOf(path), options);
    if (!handle) return 0;
    uint32_t low = util_platform::FileSizeLow(handle);
    if (low == UINT32_MAX) {
        int error = util_platform::LastError();
        util_platform::CloseFileHandle(handle);
        util_platform::SetLastError(error);
        return 0;
    }
    *size = low;
    util_platform::CloseFileHandle(handle);
    return 1;
}

int CFileAccess::FA_SeekFile(FileHandle handle, int32_t offset) {
    if (!handle) return 0;
    util_platform::SetLastError(0);
    uint32_t position =
        util_platform::SetFilePosition(handle, offset, util_platform::SeekOrigin::kBegin);
    // All bits set is also a valid position; only an error code makes it a failure.
    return (position == UINT32_MAX && util_platform::LastError() != 0) ? 0 : 1;
}

int CFileAccess::FA_ReadFile(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) {
    if (!handle) return 0;
    return util_platform::ReadFileHandle(handle, buffer, count, read) ? 1 : 0;
}

int CFileAccess::FA_WriteFile(FileHandle handle, const void* buffer, uint32_t count) {
    if (!handle) return 0;
    uint32_t written = 0;
    return util_platform::WriteFileHandle(handle, buffer, count, &written) && written == count ? 1
                                                                                               : 0;
}

FileHandle CFileAccess::FA_OpenFile(const char16_t* path, FileMode mode) {
    return file_access_internal::OpenFile(path, mode, false);
}

FileHandle file_access_internal::OpenFile(const char16_t* path, FileMode mode, bool ownerOnly) {
    FileOpenOptions options;
    if (!OptionsForMode(mode, &options)) {
        util_platform::SetLastError(EINVAL);
        return nullptr;
    }
    options.ownerOnly = ownerOnly;
    FileHandle handle = util_platform::OpenFileShared(ViewOf(path), options);
    if (!handle) return nullptr;
    if (mode == FM_Append &&
        util_platform::SetFilePosition(handle, 0, util_platform::SeekOrigin::kEnd) == UINT32_MAX) {
        int error = util_platform::LastError();
        util_platform::CloseFileHandle(handle);
        util_platform::SetLastError(error);
        return nullptr;
    }
    return handle;
}

FileHandle CFileAccess::FA_OpenDevice(const char16_t* path, int readWrite) {
    FileOpenOptions options;
    options.creation = FileCreation::kOpenExisting;
    if (readWrite) {
        options.access = util_platform::kAccessReadWrite;
        options.share = util_platform::kAccessReadWrite;
    } else {
        options.access = util_platform::kAccessWrite;
        options.share = util_platform::kAccessRead;
    }
    return util_platform::OpenFileShared(ViewOf(path), options);
}

int CFileAccess::FA_CloseFile(FileHandle handle) {
    if (!handle) return 0;
    return util_platform::CloseFileHandle(handle) ? 1 : 0;
}

int CFileAccess::FA_CloseDevice(FileHandle handle) {
    return FA_CloseFile(handle);
}

FileHandle CFileAccess::GetWorkingDirectoryandFile(const char16_t* folder, const char16_t* fileName,
                                                   FileMode mode, CString& folderOut,
                                                   CString& pathOut) {
    const std::u16string given(ViewOf(folder));
    const std::u16string temp = util_platform::TempFolder();
    const std::u16string system = util_platform::SystemFolder();
    for (const std::u16string* candidate : {&given, &temp, &system}) {
        // A fallback folder that the platform cannot give (no usable temporary folder), or whose
        // text would not fit its buffer, is not available.
        if (candidate != &given && (candidate->empty() || candidate->size() >= kFolderBufferChars))
            continue;
        CString path(*candidate);
        path += ViewOf(fileName);  // plain joining: the folder text brings its own separator
        FileHandle handle = FA_OpenFile(path, mode);
        if (handle) {
            folderOut = CString(*candidate);
            pathOut = path;
            return handle;
        }
    }
    return kInvalidHandle;
}

FileHandle CFileAccess::GetWorkingDirectoryandFile(const char16_t* folder, const char16_t* fileName,
                                                   FileMode mode, CString& pathOut) {
    CString folderOut;
    return GetWorkingDirectoryandFile(folder, fileName, mode, folderOut, pathOut);
}

bool CFileAccess::IsTempBinFile(const CString& name) {
    return name.Find(u".tmp.bin") >= 0;
}
