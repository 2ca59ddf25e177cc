#include "util/platform/file.h"

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

#include "util/platform/win32/faults.h"
#include "util/platform/win32/wide.h"

namespace util_platform {

namespace {

// The share modes are the system's own here: CreateFileW enforces them between every opener
// of the file, in this process and in all others. A FileHandle is the HANDLE itself, so a host
// can hand ours to ReadFile or DeviceIoControl and give us one it opened with CreateFileW.

// The HANDLE a FileHandle stands for, or null (last error ERROR_INVALID_HANDLE) for the two
// values that never name an open file here: 0, and all bits set (INVALID_HANDLE_VALUE, which
// the system also takes as the current process, so CloseHandle would "succeed" on it).
HANDLE FileOf(FileHandle handle) {
    HANDLE file = static_cast<HANDLE>(handle);
    if (file == nullptr || file == INVALID_HANDLE_VALUE) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return file;
}

DWORD DesiredAccess(unsigned access) {
    DWORD desired = 0;
    if (access & kAccessRead) desired |= GENERIC_READ;
    if (access & kAccessWrite) desired |= GENERIC_WRITE;
    return desired;
}

DWORD ShareMode(unsigned share) {
    DWORD mode = 0;
    if (share & kAccessRead) mode |= FILE_SHARE_READ;
    if (share & kAccessWrite) mode |= FILE_SHARE_WRITE;
    return mode;
}

DWORD CreationDisposition(const FileOpenOptions& options) {
    // An open without access (an attribute query) never creates or truncates anything.
    if ((options.access & kAccessReadWrite) == kAccessNone) return OPEN_EXISTING;
    switch (options.creation) {
        case FileCreation::kCreateAlways:
            return CREATE_ALWAYS;
        case FileCreation::kOpenAlways:
            return OPEN_ALWAYS;
        case FileCreation::kOpenExisting:
            break;
    }
    return OPEN_EXISTING;
}

// --- Injected faults (tests only) ----------------------------------------------------------

struct Budget {
    std::atomic<int64_t> left{-1};  // negative: no fault armed
    std::atomic<int> fault{0};      // an InjectedFault
};

Budget g_writes, g_reads, g_opens;

win32::FaultCodes CodesOf(int fault) {
    switch (static_cast<InjectedFault>(fault)) {
        case InjectedFault::kIoError:
            return {ERROR_IO_DEVICE, EIO};
        case InjectedFault::kTooManyOpenFiles:
            return {ERROR_TOO_MANY_OPEN_FILES, EMFILE};
        case InjectedFault::kDiskFull:
            break;
    }
    return {ERROR_DISK_FULL, ENOSPC};
}

// Takes up to `want` from the budget; answers what was taken (all of want when unarmed).
int64_t Take(Budget& budget, int64_t want, bool* armed) {
    int64_t left = budget.left.load();
    while (left >= 0) {
        const int64_t take = left < want ? left : want;
        if (budget.left.compare_exchange_weak(left, left - take)) {
            *armed = true;
            return take;
        }
    }
    *armed = false;
    return want;
}

void Arm(Budget& budget, int64_t amount, InjectedFault fault) {
    budget.fault.store(static_cast<int>(fault));
    budget.left.store(amount < 0 ? -1 : amount);
}

}  // namespace

FileHandle OpenFileShared(std::u16string_view path, const FileOpenOptions& options) {
    if (path.empty()) {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    win32::FaultCodes fault;
    if (!win32::OpenAllowed(&fault)) {
        ::SetLastError(fault.system);
        return nullptr;
    }
    const std::wstring wide = win32::Wide(path);
    // A link in the file's place is refused before anything is created or truncated through it.
    if (options.noFollow) {
        const DWORD found = ::GetFileAttributesW(wide.c_str());
        if (found != INVALID_FILE_ATTRIBUTES && (found & FILE_ATTRIBUTE_REPARSE_POINT)) {
            ::SetLastError(ERROR_CANT_RESOLVE_FILENAME);
            return nullptr;
        }
    }
    // ownerOnly needs nothing here: a new file inherits the security of its folder, and the
    // user's temporary folder, where such files are made, is the user's own.
    const DWORD attributes = options.readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened: CreateFileW refuses it
    // with ERROR_ACCESS_DENIED, which is the refusal the contract asks for.
    HANDLE file =
        ::CreateFileW(wide.c_str(), DesiredAccess(options.access), ShareMode(options.share),
                      nullptr, CreationDisposition(options), attributes, nullptr);
    if (file == INVALID_HANDLE_VALUE || file == nullptr) return nullptr;
    // A reserved name (NUL, CON, AUX, COM1, ... in any folder, with any extension) opens a
    // device, and a read from some of them (AUX, a serial line) waits without end.
    if (options.regularOnly && ::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<FileHandle>(file);
}

bool CloseFileHandle(FileHandle handle) {
    HANDLE file = FileOf(handle);
    return file && ::CloseHandle(file) != FALSE;
}

bool ReadFileHandle(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) {
    HANDLE file = FileOf(handle);
    if (!file) return false;
    if (!read || (!buffer && count != 0)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    size_t allowed = count;
    win32::FaultCodes fault;
    if (!win32::AllowedRead(count, &allowed, &fault)) {
        *read = 0;
        ::SetLastError(fault.system);
        return false;
    }
    DWORD got = 0;
    const BOOL ok = ::ReadFile(file, buffer, static_cast<DWORD>(allowed), &got, nullptr);
    *read = ok ? static_cast<uint32_t>(got) : 0;
    return ok != FALSE;
}

bool WriteFileHandle(FileHandle handle, const void* buffer, uint32_t count, uint32_t* written) {
    if (written) *written = 0;
    HANDLE file = FileOf(handle);
    if (!file) return false;
    if (!buffer && count != 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    win32::FaultCodes fault{ERROR_DISK_FULL, ENOSPC};
    const auto allowed = static_cast<uint32_t>(win32::AllowedWrite(count, &fault));
    DWORD done = 0;
    if (!::WriteFile(file, buffer, allowed, &done, nullptr)) {
        if (written) *written = static_cast<uint32_t>(done);
        return false;
    }
    if (written) *written = static_cast<uint32_t>(done);
    if (done == count) return true;
    ::SetLastError(fault.system);  // an injected fault, or a device that took less
    return false;
}

uint32_t SetFilePosition(FileHandle handle, int64_t offset, SeekOrigin origin) {
    HANDLE file = FileOf(handle);
    if (!file) return INVALID_SET_FILE_POINTER;
    const DWORD method = origin == SeekOrigin::kBegin ? FILE_BEGIN
                         : origin == SeekOrigin::kEnd ? FILE_END
                                                      : FILE_CURRENT;
    LONG high = static_cast<LONG>(offset >> 32);
    // All bits set is a valid low part too: the last error tells success (0) from failure.
    ::SetLastError(NO_ERROR);
    return ::SetFilePointer(file, static_cast<LONG>(static_cast<uint32_t>(offset)), &high, method);
}

uint32_t FileSizeLow(FileHandle handle) {
    HANDLE file = FileOf(handle);
    if (!file) return INVALID_FILE_SIZE;
    DWORD high = 0;
    ::SetLastError(NO_ERROR);
    return ::GetFileSize(file, &high);
}

int64_t FileSize(FileHandle handle) {
    HANDLE file = FileOf(handle);
    if (!file) return -1;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size)) return -1;
    return static_cast<int64_t>(size.QuadPart);
}

bool TruncateFileHandle(FileHandle handle, int64_t size) {
    HANDLE file = FileOf(handle);
    if (!file) return false;
    if (size < 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    LARGE_INTEGER position;
    position.QuadPart = size;
    return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

int LastError() {
    return static_cast<int>(::GetLastError());
}

void SetLastError(int error) {
    ::SetLastError(static_cast<DWORD>(error));
}

std::u16string SystemFolder() {
    wchar_t buffer[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::u16string();
    return win32::FromWide(buffer, length);
}

void FailWritesForTesting(int64_t bytes, InjectedFault fault) {
    Arm(g_writes, bytes, fault);
}

void LimitWritesForTesting(int64_t bytes) {
    FailWritesForTesting(bytes, InjectedFault::kDiskFull);
}

void FailReadsForTesting(int64_t bytes, InjectedFault fault) {
    Arm(g_reads, bytes, fault);
}

void FailOpensForTesting(int64_t opens, InjectedFault fault) {
    Arm(g_opens, opens, fault);
}

namespace win32 {

size_t AllowedWrite(size_t count, FaultCodes* fault) {
    bool armed = false;
    const auto allowed = static_cast<size_t>(Take(g_writes, static_cast<int64_t>(count), &armed));
    if (armed && allowed < count) *fault = CodesOf(g_writes.fault.load());
    return allowed;
}

bool AllowedRead(size_t count, size_t* allowed, FaultCodes* fault) {
    if (g_reads.left.load() == 0) {
        *fault = CodesOf(g_reads.fault.load());
        return false;
    }
    bool armed = false;
    *allowed = static_cast<size_t>(Take(g_reads, static_cast<int64_t>(count), &armed));
    return true;
}

bool OpenAllowed(FaultCodes* fault) {
    bool armed = false;
    if (Take(g_opens, 1, &armed) == 1) return true;
    *fault = CodesOf(g_opens.fault.load());
    return false;
}

}  // namespace win32

}  // namespace util_platform
