#include "util/platform/file.h"

#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <functional>
#include <mutex>
#include <new>
#include <vector>

#include "util/base/utf.h"
#include "util/platform/path.h"
#include "util/platform/posix/file_posix.h"

namespace util_platform {
namespace {

// A handle is (generation << kSlotBits) | (slot + 1): never 0, never all bits set.
constexpr unsigned kSlotBits = 20;
constexpr uintptr_t kSlotMask = (uintptr_t{1} << kSlotBits) - 1;
constexpr size_t kMaxSlots = kSlotMask - 1;
constexpr uintptr_t kGenerationMask = (~uintptr_t{0}) >> (kSlotBits + 1);

struct Slot {
    int fd = -1;
    uintptr_t generation = 1;
    bool inUse = false;
    dev_t device = 0;
    ino_t inode = 0;
    unsigned access = kAccessNone;
    unsigned share = kAccessNone;
};

// What a read or write needs of a slot, kept apart from the table so that it takes no lock:
// the descriptor, and one word with the generation of the open handle, an "open" bit and the
// count of calls reading or writing through the descriptor right now. A close while there are
// such calls only clears the open bit; the descriptor is closed (and the slot freed) by the last
// of them, so its number cannot be reused under a call still running. Doors never move and are
// never freed, unlike the table's vector of slots.
struct Door {
    std::atomic<uint64_t> word{0};
    int fd = -1;  // set before the open bit is published, cleared only when no call uses it
};
constexpr unsigned kUserBits = 20;
constexpr uint64_t kUserMask = (uint64_t{1} << kUserBits) - 1;
constexpr uint64_t kOpenBit = uint64_t{1} << kUserBits;
constexpr unsigned kDoorGenerationShift = kUserBits + 1;
static_assert(sizeof(uintptr_t) * 8 - (kSlotBits + 1) <= 64 - kDoorGenerationShift,
              "a door's word holds every generation");
constexpr size_t kDoorsPerChunk = 1024;

struct HandleTable {
    HandleTable() { doorChunks[0].store(firstDoors, std::memory_order_relaxed); }

    std::mutex mutex;
    std::vector<Slot> slots;
    std::vector<size_t> freeSlots;
    // Allocated under the mutex as the slots grow, past the first block; read without it.
    std::atomic<Door*> doorChunks[(kMaxSlots + kDoorsPerChunk - 1) / kDoorsPerChunk] = {};
    Door firstDoors[kDoorsPerChunk];
};

// In static storage, built on first use and never destroyed: handles may still be closed by
// objects of static lifetime at unload. Nor is it allocated: the first open of a process then
// allocates no more than a few slots, like every later one.
HandleTable& Table() {
    alignas(HandleTable) static unsigned char storage[sizeof(HandleTable)];
    static HandleTable* table = new (storage) HandleTable;
    return *table;
}

FileHandle MakeHandle(size_t slot, uintptr_t generation) {
    return reinterpret_cast<FileHandle>((generation << kSlotBits) | (slot + 1));
}

// The door of a slot the table has, or nullptr for a slot it never had.
Door* DoorAt(HandleTable& table, size_t index) {
    Door* chunk = table.doorChunks[index / kDoorsPerChunk].load(std::memory_order_acquire);
    return chunk ? chunk + index % kDoorsPerChunk : nullptr;
}

// Makes sure the slot at index has a door. Call with the table's mutex held.
bool ReserveDoor(HandleTable& table, size_t index) {
    std::atomic<Door*>& chunk = table.doorChunks[index / kDoorsPerChunk];
    if (chunk.load(std::memory_order_relaxed)) return true;
    Door* doors = new (std::nothrow) Door[kDoorsPerChunk];
    if (!doors) return false;
    chunk.store(doors, std::memory_order_release);
    return true;
}

// The slot a handle names, or nullptr (errno EBADF). Call with the table's mutex held.
Slot* FindSlot(HandleTable& table, FileHandle handle) {
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    uintptr_t index = value & kSlotMask;
    if (index == 0 || index > table.slots.size()) {
        errno = EBADF;
        return nullptr;
    }
    Slot& slot = table.slots[index - 1];
    if (!slot.inUse || slot.generation != (value >> kSlotBits)) {
        errno = EBADF;
        return nullptr;
    }
    return &slot;
}

// Frees a slot whose handle was closed, closing its descriptor. Call with the table's mutex held.
int RetireSlot(HandleTable& table, size_t index) {
    Slot& slot = table.slots[index];
    int result = ::close(slot.fd);
    slot.fd = -1;
    DoorAt(table, index)->fd = -1;
    table.freeSlots.push_back(index);
    return result;
}

// The descriptor behind a handle, held for the length of one call: fd() is -1 (errno EBADF)
// for a handle that is not open. Takes no lock unless it is the last call on a closed handle.
class DescriptorUse {
  public:
    explicit DescriptorUse(FileHandle handle) {
        const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
        const uintptr_t index = value & kSlotMask;
        const uintptr_t generation = value >> kSlotBits;
        Door* door = index == 0 || index > kMaxSlots || generation > kGenerationMask
                         ? nullptr
                         : DoorAt(Table(), index - 1);
        if (!door) {
            errno = EBADF;
            return;
        }
        const uint64_t open = (uint64_t{generation} << kDoorGenerationShift) | kOpenBit;
        uint64_t word = door->word.load(std::memory_order_acquire);
        do {
            if ((word & ~kUserMask) != open || (word & kUserMask) == kUserMask) {
                errno = EBADF;
                return;
            }
        } while (!door->word.compare_exchange_weak(word, word + 1, std::memory_order_acquire,
                                                   std::memory_order_acquire));
        door_ = door;
        index_ = index - 1;
        fd_ = door->fd;
    }
    ~DescriptorUse() {
        if (!door_) return;
        const uint64_t before = door_->word.fetch_sub(1, std::memory_order_acq_rel);
        if ((before & kUserMask) != 1 || (before & kOpenBit)) return;
        // The handle was closed while this call ran, and no other call runs: close it now.
        const int saved = errno;
        HandleTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        RetireSlot(table, index_);
        errno = saved;
    }
    DescriptorUse(const DescriptorUse&) = delete;
    DescriptorUse& operator=(const DescriptorUse&) = delete;
    int fd() const { return fd_; }

  private:
    Door* door_ = nullptr;
    size_t index_ = 0;
    int fd_ = -1;
};

bool SharesAllowed(unsigned wantedAccess, unsigned wantedShare, unsigned heldAccess,
                   unsigned heldShare) {
    return (wantedAccess & ~heldShare) == 0 && (heldAccess & ~wantedShare) == 0;
}

// --- Advisory share locks between processes ----------------------------------------------
// Each opener of a regular file takes a lock in one marker per access it holds ("holds read",
// "holds write") and one per access it denies ("denies read", "denies write"); a rename or
// delete of a file takes "holds delete". Markers lie far beyond any real file size, so they
// never cover data. A marker is a range of bytes: byte 0 is shared by every opener whose
// descriptor can read (a shared lock), the other bytes go one each to openers whose descriptor
// can only write (an exclusive lock needs no read access). "Someone else is in the marker" is
// then one query over the whole range.
//
// An opener first takes its own markers and only then looks at the others' markers, so of two
// openers racing each other at least the later one sees the earlier: two that conflict are
// never both admitted. (Both may see each other and both give up; the next try settles it.)
constexpr off_t kMarkerBytes = 1024;
enum Marker : off_t { kHoldsRead, kHoldsWrite, kDeniesRead, kDeniesWrite, kHoldsDelete, kMarkers };
constexpr off_t kMarkerBase = LLONG_MAX - (kMarkers + 1) * kMarkerBytes;
// How often an open that met a conflict tries again before it is refused: enough for two
// openers that only saw each other's tries to settle it, few enough that a real conflict is
// answered at once.
constexpr int kShareTries = 4;

struct flock MarkerRange(short type, off_t start, off_t length) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    return lock;
}

off_t MarkerStart(Marker marker) {
    return kMarkerBase + marker * kMarkerBytes;
}

// True when another open file description holds a lock in `count` markers from `first` on. A
// file system without lock support counts as "no one".
bool MarkersTaken(int fd, Marker first, int count = 1) {
    struct flock lock = MarkerRange(F_WRLCK, MarkerStart(first), count * kMarkerBytes);
    if (::fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
    return lock.l_type != F_UNLCK;
}

// Takes a lock in the marker: the shared byte when the descriptor can read, else a byte of its
// own. False only when every byte of its own is taken; a file system without lock support
// counts as success (the rule is advisory there).
bool TakeMarker(int fd, bool readable, Marker marker) {
    const off_t start = MarkerStart(marker);
    if (readable) {
        struct flock lock = MarkerRange(F_RDLCK, start, 1);
        return ::fcntl(fd, F_OFD_SETLK, &lock) == 0 || (errno != EAGAIN && errno != EACCES);
    }
    // Start at a place that differs between processes, so write-only openers seldom meet.
    const off_t first = 1 + static_cast<off_t>(::getpid()) % (kMarkerBytes - 1);
    for (off_t i = 0; i < kMarkerBytes - 1; ++i) {
        struct flock lock =
            MarkerRange(F_WRLCK, start + 1 + (first - 1 + i) % (kMarkerBytes - 1), 1);
        if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return true;
        if (errno != EAGAIN && errno != EACCES) return true;
    }
    return false;
}

void ReleaseMarkers(int fd) {
    struct flock lock = MarkerRange(F_UNLCK, kMarkerBase, kMarkers * kMarkerBytes);
    (void)::fcntl(fd, F_OFD_SETLK, &lock);
}

// Takes the markers of the open's own access and share, then tells whether another process's
// holder conflicts with it; on a conflict the markers are given back.
bool ClaimAgainstOtherProcesses(int fd, bool readable, unsigned access, unsigned share) {
    const bool denyRead = !(share & kAccessRead), denyWrite = !(share & kAccessWrite);
    bool taken = true;
    if (access & kAccessRead) taken = taken && TakeMarker(fd, readable, kHoldsRead);
    if (access & kAccessWrite) taken = taken && TakeMarker(fd, readable, kHoldsWrite);
    if (denyRead) taken = taken && TakeMarker(fd, readable, kDeniesRead);
    if (denyWrite) taken = taken && TakeMarker(fd, readable, kDeniesWrite);
    const bool conflict = !taken || ((access & kAccessRead) && MarkersTaken(fd, kDeniesRead)) ||
                          ((access & kAccessWrite) && MarkersTaken(fd, kDeniesWrite)) ||
                          (denyRead && MarkersTaken(fd, kHoldsRead)) ||
                          (denyWrite && MarkersTaken(fd, kHoldsWrite)) ||
                          MarkersTaken(fd, kHoldsDelete);
    if (conflict) ReleaseMarkers(fd);
    return !conflict;
}

bool OtherProcessesAllow(int fd, bool readable, unsigned access, unsigned share) {
    for (int attempt = 0;; ++attempt) {
        if (ClaimAgainstOtherProcesses(fd, readable, access, share)) return true;
        if (attempt + 1 == kShareTries) return false;
        ::sched_yield();
    }
}

// True when a handle of this process is open on the file (device, inode) for reading or
// writing. Call with the table's mutex held.
bool HeldInThisProcess(const HandleTable& table, dev_t device, ino_t inode) {
    for (const Slot& held : table.slots)
        if (held.inUse && held.access != kAccessNone && held.device == device &&
            held.inode == inode)
            return true;
    return false;
}

int OpenFlags(const FileOpenOptions& options) {
    int flags = O_CLOEXEC | O_NOCTTY;
    switch (options.access & kAccessReadWrite) {
        case kAccessNone:
            flags |= O_PATH;
            break;
        case kAccessRead:
            flags |= O_RDONLY;
            break;
        case kAccessWrite:
            flags |= O_WRONLY;
            break;
        default:
            flags |= O_RDWR;
            break;
    }
    if (options.creation != FileCreation::kOpenExisting && options.access != kAccessNone)
        flags |= O_CREAT;
    if (options.noFollow) flags |= O_NOFOLLOW;
    return flags;
}

mode_t CreateMode(const FileOpenOptions& options) {
    const mode_t mode = options.readOnly ? 0444 : 0666;
    return options.ownerOnly ? (mode & 0600) : mode;
}

void CloseKeepingErrno(int fd) {
    int saved = errno;
    ::close(fd);
    errno = saved;
}

// --- Injected faults (test support) -------------------------------------------------------
int ErrnoOf(InjectedFault fault) {
    switch (fault) {
        case InjectedFault::kDiskFull:
            return ENOSPC;
        case InjectedFault::kIoError:
            return EIO;
        case InjectedFault::kTooManyOpenFiles:
            return EMFILE;
    }
    return EIO;
}

// A count of bytes or opens still allowed (negative: no limit) and the error given after it.
struct FaultBudget {
    std::atomic<int64_t> left{-1};
    std::atomic<int> error{0};

    void Arm(int64_t amount, InjectedFault fault) {
        error.store(ErrnoOf(fault));
        left.store(amount < 0 ? -1 : amount);
    }
    // How much of `wanted` the budget lets through, taking it from the budget.
    int64_t Take(int64_t wanted) {
        int64_t budget = left.load();
        while (budget >= 0) {
            const int64_t take = budget < wanted ? budget : wanted;
            if (left.compare_exchange_weak(budget, budget - take)) return take;
        }
        return wanted;
    }
    // Gives back what was taken but not used (a read that met the end of the file).
    void Refund(int64_t unused) {
        int64_t budget = left.load();
        while (budget >= 0 && unused > 0 && !left.compare_exchange_weak(budget, budget + unused)) {
        }
    }
};

FaultBudget g_writes, g_reads, g_opens;

// The low 32 bits of a position or size; when they are all set, errno 0 tells them from the
// failure value.
uint32_t LowPart(int64_t value) {
    const uint32_t low = static_cast<uint32_t>(static_cast<uint64_t>(value));
    if (low == UINT32_MAX) errno = 0;
    return low;
}

}  // namespace

FileHandle OpenFileShared(std::u16string_view path, const FileOpenOptions& options) {
    if (path.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    if (g_opens.Take(1) == 0) {
        errno = g_opens.error.load();
        return nullptr;
    }
    const unsigned access = options.access & kAccessReadWrite;
    const unsigned share = options.share & kAccessReadWrite;
    // Without O_NONBLOCK, opening a FIFO waits until a peer opens its other end.
    int fd = ::open(NativePath(path).c_str(), OpenFlags(options) | O_NONBLOCK, CreateMode(options));
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        CloseKeepingErrno(fd);
        return nullptr;
    }
    if (S_ISDIR(st.st_mode) || (options.regularOnly && !S_ISREG(st.st_mode))) {
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return nullptr;
    }
    // A private file must be ours, also when it was there before: in a shared folder another
    // user may have planted one for us to write our secrets into. One of ours that others may
    // read (made before, or by hand) is closed to them before anything is written.
    if (options.ownerOnly && S_ISREG(st.st_mode) &&
        (st.st_uid != ::geteuid() ||
         ((st.st_mode & 0077) != 0 && ::fchmod(fd, st.st_mode & 0700) != 0))) {
        ::close(fd);
        errno = EACCES;
        return nullptr;
    }
    // Reads and writes block as usual (a device handle waits for its data).
    if (options.access != kAccessNone) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            CloseKeepingErrno(fd);
            return nullptr;
        }
    }

    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    if (access != kAccessNone) {
        for (const Slot& held : table.slots) {
            if (held.inUse && held.access != kAccessNone && held.device == st.st_dev &&
                held.inode == st.st_ino && !SharesAllowed(access, share, held.access, held.share)) {
                ::close(fd);
                errno = EBUSY;
                return nullptr;
            }
        }
        const bool regular = S_ISREG(st.st_mode);
        if (regular && !OtherProcessesAllow(fd, (access & kAccessRead) != 0, access, share)) {
            ::close(fd);
            errno = EBUSY;
            return nullptr;
        }
        // Truncation comes only now, after every opener had its say.
        if (regular && options.creation == FileCreation::kCreateAlways && st.st_size != 0 &&
            ::ftruncate(fd, 0) != 0) {
            CloseKeepingErrno(fd);
            return nullptr;
        }
    }

    size_t index;
    if (!table.freeSlots.empty()) {
        index = table.freeSlots.back();
        table.freeSlots.pop_back();
    } else if (table.slots.size() < kMaxSlots && ReserveDoor(table, table.slots.size())) {
        index = table.slots.size();
        table.slots.emplace_back();
    } else {
        ::close(fd);
        errno = EMFILE;
        return nullptr;
    }
    Slot& slot = table.slots[index];
    slot.fd = fd;
    slot.inUse = true;
    slot.device = st.st_dev;
    slot.inode = st.st_ino;
    slot.access = access;
    slot.share = share;
    Door* door = DoorAt(table, index);
    door->fd = fd;
    door->word.store((uint64_t{slot.generation} << kDoorGenerationShift) | kOpenBit,
                     std::memory_order_release);
    return MakeHandle(index, slot.generation);
}

bool CloseFileHandle(FileHandle handle) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    Slot* slot = FindSlot(table, handle);
    if (!slot) return false;
    slot->inUse = false;
    slot->access = slot->share = kAccessNone;
    slot->generation = (slot->generation + 1) & kGenerationMask;
    if (slot->generation == 0) slot->generation = 1;
    const auto index = static_cast<size_t>(slot - table.slots.data());
    const uint64_t before =
        DoorAt(table, index)->word.fetch_and(~kOpenBit, std::memory_order_acq_rel);
    if ((before & kUserMask) != 0) return true;  // the last running call closes it
    // The descriptor is released even when close reports a late write error.
    return RetireSlot(table, index) == 0;
}

bool ReadFileHandle(FileHandle handle, void* buffer, uint32_t count, uint32_t* read) {
    DescriptorUse use(handle);
    const int fd = use.fd();
    if (fd < 0) return false;
    if (!read || (!buffer && count != 0)) {
        errno = EINVAL;
        return false;
    }
    const auto allowed = static_cast<uint32_t>(g_reads.Take(count));
    if (allowed == 0 && count != 0) {
        *read = 0;
        errno = g_reads.error.load();
        return false;
    }
    ssize_t got;
    do {
        got = ::read(fd, buffer, allowed);
    } while (got < 0 && errno == EINTR);
    g_reads.Refund(static_cast<int64_t>(allowed) - (got < 0 ? 0 : got));
    if (got < 0) {
        *read = 0;
        return false;
    }
    *read = static_cast<uint32_t>(got);
    return true;
}

bool WriteFileHandle(FileHandle handle, const void* buffer, uint32_t count, uint32_t* written) {
    uint32_t done = 0;
    if (written) *written = 0;
    DescriptorUse use(handle);
    const int fd = use.fd();
    if (fd < 0) return false;
    if (!buffer && count != 0) {
        errno = EINVAL;
        return false;
    }
    const auto allowed = static_cast<uint32_t>(g_writes.Take(count));
    const char* bytes = static_cast<const char*>(buffer);
    while (done < allowed) {
        ssize_t n = ::write(fd, bytes + done, allowed - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            break;
        }
        done += static_cast<uint32_t>(n);
    }
    if (written) *written = done;
    if (done == count) return true;
    if (done == allowed) errno = g_writes.error.load();
    return false;
}

uint32_t SetFilePosition(FileHandle handle, int64_t offset, SeekOrigin origin) {
    DescriptorUse use(handle);
    const int fd = use.fd();
    if (fd < 0) return UINT32_MAX;
    int whence = origin == SeekOrigin::kBegin ? SEEK_SET
                 : origin == SeekOrigin::kEnd ? SEEK_END
                                              : SEEK_CUR;
    off_t position = ::lseek(fd, static_cast<off_t>(offset), whence);
    return position < 0 ? UINT32_MAX : LowPart(position);
}

int64_t SeekFileHandle(FileHandle handle, int64_t offset, int whence) {
    DescriptorUse use(handle);
    const int fd = use.fd();
    if (fd < 0) return -1;
    return static_cast<int64_t>(::lseek(fd, static_cast<off_t>(offset), whence));
}

bool IsRegularFileHandle(FileHandle handle) {
    DescriptorUse use(handle);
    struct stat st;
    return use.fd() >= 0 && ::fstat(use.fd(), &st) == 0 && S_ISREG(st.st_mode);
}

uint32_t FileSizeLow(FileHandle handle) {
    int64_t size = FileSize(handle);
    return size < 0 ? UINT32_MAX : LowPart(size);
}

int64_t FileSize(FileHandle handle) {
    DescriptorUse use(handle);
    const int fd = use.fd();
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool TruncateFileHandle(FileHandle handle, int64_t size) {
    DescriptorUse use(handle);
    const int fd = use.fd();
    if (fd < 0) return false;
    if (size < 0) {
        errno = EINVAL;
        return false;
    }
    int result;
    do {
        result = ::ftruncate(fd, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0 && ::lseek(fd, static_cast<off_t>(size), SEEK_SET) >= 0;
}

int LastError() {
    return errno;
}

void SetLastError(int error) {
    errno = error;
}

std::u16string SystemFolder() {
    struct stat st;
    if (::stat("/usr/lib", &st) == 0 && S_ISDIR(st.st_mode)) return u"/usr/lib";
    return u"/lib";
}

bool ChangeNameUnlessHeld(std::u16string_view path, const std::function<bool()>& change) {
    const int fd =
        ::open(NativePath(path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // A link, a file we may not read, anything but a regular file: no holder can be
        // asked, so the change goes ahead (and fails by itself where the system refuses it).
        if (fd >= 0) ::close(fd);
        return change();
    }
    bool held;
    {
        HandleTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        held = HeldInThisProcess(table, st.st_dev, st.st_ino);
    }
    // Announce the change first, then look for holders: an opener racing us either sees the
    // announcement and is refused, or is seen here.
    if (!held) {
        held = !TakeMarker(fd, true, kHoldsDelete) ||
               MarkersTaken(fd, kHoldsRead, kHoldsDelete - kHoldsRead);
    }
    const bool changed = !held && change();
    const int error = errno;
    ReleaseMarkers(fd);
    ::close(fd);
    errno = held ? EBUSY : error;
    return changed;
}

void FailWritesForTesting(int64_t bytes, InjectedFault fault) {
    g_writes.Arm(bytes, fault);
}

void LimitWritesForTesting(int64_t bytes) {
    g_writes.Arm(bytes, InjectedFault::kDiskFull);
}

void FailReadsForTesting(int64_t bytes, InjectedFault fault) {
    g_reads.Arm(bytes, fault);
}

void FailOpensForTesting(int64_t opens, InjectedFault fault) {
    g_opens.Arm(opens, fault);
}

}  // namespace util_platform
