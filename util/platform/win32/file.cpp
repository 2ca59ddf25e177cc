#include "util/platform/file.h"

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <vector>

#include "util/platform/win32/faults.h"
#include "util/platform/win32/wide.h"

namespace util_platform {

namespace {

// The share modes are the system's own here: CreateFileW enforces them between every opener
// of the file, in this process and in all others. What the table below adds is the handle
// contract: a FileHandle is a slot number plus a generation, so a handle that was closed (whose
// HANDLE value the system may already have given to another object) or never issued is refused
// with ERROR_INVALID_HANDLE instead of reaching someone else's file.

// A handle is (generation << kSlotBits) | (slot + 1): never 0, never all bits set.
constexpr unsigned kSlotBits = 20;
constexpr uintptr_t kSlotMask = (uintptr_t{1} << kSlotBits) - 1;
constexpr size_t kMaxSlots = kSlotMask - 1;
constexpr uintptr_t kGenerationMask = (~uintptr_t{0}) >> (kSlotBits + 1);

struct Slot {
    HANDLE file = INVALID_HANDLE_VALUE;
    uintptr_t generation = 1;
    bool inUse = false;
    // Calls reading or writing through the HANDLE right now. A close while there are some only
    // retires the FileHandle; the HANDLE is closed (and the slot freed) by the last of them, so
    // the system cannot hand its value to another object under a call still running.
    unsigned users = 0;
    bool closeWhenIdle = false;
};

struct HandleTable {
    std::mutex mutex;
    std::vector<Slot> slots;
    std::vector<size_t> freeSlots;
};

// Never destroyed: handles may still be closed by objects of static lifetime at unload.
HandleTable& Table() {
    static HandleTable* table = new HandleTable;
    return *table;
}

FileHandle MakeHandle(size_t slot, uintptr_t generation) {
    return reinterpret_cast<FileHandle>((generation << kSlotBits) | (slot + 1));
}

// The slot a handle names, or nullptr (ERROR_INVALID_HANDLE). Call with the mutex held.
Slot* FindSlot(HandleTable& table, FileHandle handle) {
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    uintptr_t index = value & kSlotMask;
    if (index == 0 || index > table.slots.size()) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    Slot& slot = table.slots[index - 1];
    if (!slot.inUse || slot.generation != (value >> kSlotBits)) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &slot;
}

// Frees a slot whose FileHandle was closed, closing its HANDLE. Call with the mutex held.
bool RetireSlot(HandleTable& table, size_t index) {
    Slot& slot = table.slots[index];
    const BOOL closed = ::CloseHandle(slot.file);
    slot.file = INVALID_HANDLE_VALUE;
    slot.closeWhenIdle = false;
    table.freeSlots.push_back(index);
    return closed != FALSE;
}

// The HANDLE behind a FileHandle, held for the length of one call: file() is null (last error
// ERROR_INVALID_HANDLE) for a handle that is not open.
class HandleUse {
  public:
    explicit HandleUse(FileHandle handle) {
        HandleTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        if (Slot* slot = FindSlot(table, handle)) {
            ++slot->users;
            index_ = static_cast<size_t>(slot - table.slots.data());
            file_ = slot->file;
        }
    }
    ~HandleUse() {
        if (!file_) return;
        const DWORD saved = ::GetLastError();
        HandleTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        Slot& slot = table.slots[index_];
        if (--slot.users == 0 && slot.closeWhenIdle) RetireSlot(table, index_);
        ::SetLastError(saved);
    }
    HandleUse(const HandleUse&) = delete;
    HandleUse& operator=(const HandleUse&) = delete;
    HANDLE file() const { return file_; }

  private:
    size_t index_ = 0;
    HANDLE file_ = nullptr;
};

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

    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    size_t index;
    if (!table.freeSlots.empty()) {
        index = table.freeSlots.back();
        table.freeSlots.pop_back();
    } else if (table.slots.size() < kMaxSlots) {
        index = table.slots.size();
        table.slots.emplace_back();
    } else {
        ::CloseHandle(file);
        ::SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return nullptr;
    }
    Slot& slot = table.slots[index];
    slot.file = file;
    slot.inUse = true;
    return MakeHandle(index, slot.generation);
}

bool CloseFileHandle(FileHandle handle) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    Slot* slot = FindSlot(table, handle);
    if (!slot) return false;
    slot->inUse = false;
    slot->generation = (slot->generation + 1) & kGenerationMask;
    if (slot->generation == 0) slot->generation = 1;
    const auto index = static_cast<size_t>(slot - table.slots.data());
    if (slot->users > 0) {
        slot->closeWhenIdle = true;  // the last running call closes it
        return true;
    }
    return RetireSlot(table, index);
}

bool ReadFileHandle(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) {
    HandleUse use(handle);
    if (!use.file()) return false;
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
    const BOOL ok = ::ReadFile(use.file(), buffer, static_cast<DWORD>(allowed), &got, nullptr);
    *read = ok ? static_cast<uint32_t>(got) : 0;
    return ok != FALSE;
}

bool WriteFileHandle(FileHandle handle, const void* buffer, uint32_t count, uint32_t* written) {
    if (written) *written = 0;
    HandleUse use(handle);
    if (!use.file()) return false;
    if (!buffer && count != 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    win32::FaultCodes fault{ERROR_DISK_FULL, ENOSPC};
    const auto allowed = static_cast<uint32_t>(win32::AllowedWrite(count, &fault));
    DWORD done = 0;
    if (!::WriteFile(use.file(), buffer, allowed, &done, nullptr)) {
        if (written) *written = static_cast<uint32_t>(done);
        return false;
    }
    if (written) *written = static_cast<uint32_t>(done);
    if (done == count) return true;
    ::SetLastError(fault.system);  // an injected fault, or a device that took less
    return false;
}

uint32_t SetFilePosition(FileHandle handle, int64_t offset, SeekOrigin origin) {
    HandleUse use(handle);
    if (!use.file()) return INVALID_SET_FILE_POINTER;
    const DWORD method = origin == SeekOrigin::kBegin ? FILE_BEGIN
                         : origin == SeekOrigin::kEnd ? FILE_END
                                                      : FILE_CURRENT;
    LONG high = static_cast<LONG>(offset >> 32);
    // All bits set is a valid low part too: the last error tells success (0) from failure.
    ::SetLastError(NO_ERROR);
    return ::SetFilePointer(use.file(), static_cast<LONG>(static_cast<uint32_t>(offset)), &high,
                            method);
}

uint32_t FileSizeLow(FileHandle handle) {
    HandleUse use(handle);
    if (!use.file()) return INVALID_FILE_SIZE;
    DWORD high = 0;
    ::SetLastError(NO_ERROR);
    return ::GetFileSize(use.file(), &high);
}

int64_t FileSize(FileHandle handle) {
    HandleUse use(handle);
    if (!use.file()) return -1;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(use.file(), &size)) return -1;
    return static_cast<int64_t>(size.QuadPart);
}

bool TruncateFileHandle(FileHandle handle, int64_t size) {
    HandleUse use(handle);
    if (!use.file()) return false;
    if (size < 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    LARGE_INTEGER position;
    position.QuadPart = size;
    return ::SetFilePointerEx(use.file(), position, nullptr, FILE_BEGIN) &&
           ::SetEndOfFile(use.file());
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
