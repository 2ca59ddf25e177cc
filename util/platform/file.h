#ifndef UTIL_PLATFORM_FILE_H
#define UTIL_PLATFORM_FILE_H

// Handle-based file access with share modes, and the two well-known folders that file code
// falls back on.
//
// Handles. What a FileHandle is depends on the backend:
//   POSIX: an entry of a process-wide handle table (slot number plus a generation counter),
//     never a raw descriptor. A handle that was closed, belongs to an earlier generation of its
//     slot or was never issued is answered with failure (errno EBADF); it can never reach
//     another file's descriptor.
//   Windows: the HANDLE that CreateFileW gave, cast to void*. Every function here takes any
//     HANDLE of a file or device, also one the caller opened itself, and the caller may pass
//     ours to the system's own calls (ReadFile, GetFileType, DeviceIoControl, ...).
//     CloseFileHandle answers CloseHandle's result. A closed HANDLE is the system's affair as
//     it is for every Windows program: the system may give its value to the next object.
// 0 is never issued, nor is the all-bits-set value; both are refused by every function here
// (Windows: ERROR_INVALID_HANDLE, for all bits set is also the current process to the system).

// Share modes. Every open states the access it wants (read, write, both or none) and the
// access it lets other openers have. An open succeeds only when
//   - every access it wants is shared by all openers that hold the file now, and
//   - every access those openers hold is shared by the new open;
// so with "share read" on both sides, a second reader gets in and a writer is refused.
// An open with no access (attribute queries) is neither checked nor counted. The check is made
// before anything changes: a refused FileCreation::kCreateAlways truncates nothing. A refusal
// sets errno to EBUSY. Streams opened with OpenStdioFile (stdio_file.h) take part in the same
// rule: a file held by a stream counts as held for handles, and the other way round.
//   POSIX: the rule is enforced between all handles of this process through a registry keyed by
// device and inode. Across processes it is advisory: openers in other processes that use this
// library are refused too (open-file-description locks on marker bytes far beyond any real file
// size), other programs are not. Every holder of a regular file is seen, whatever its access
// (write-only ones included), and the check cannot be raced: an opener takes the locks of its
// own access first and only then looks at the others', so of two conflicting openers racing each
// other at most one is admitted. (Two that meet in the same instant may both be refused.)
//
// Errors. Every failing call leaves an error code in errno, where LastError() reads it.
//
// Symbolic links. An open with FileOpenOptions::noFollow refuses a symbolic link as the last
// element of the path: the open fails (POSIX: errno ELOOP) and nothing is created, truncated or
// written through the link. The library sets it wherever it creates or truncates a file of a
// fixed or caller-given name (the log and its backup, stamped copies, text files opened for
// writing), so that a link planted under that name cannot redirect the write.

#include <cstdint>
#include <string>
#include <string_view>

#include "util/base/file_handle.h"

#include "util/platform/temp_folder.h"  // TempFolder, used with the file layer

namespace util_platform {

// Access wanted, and access granted to others (the same bits).
enum FileAccessBits : unsigned {
    kAccessNone = 0,
    kAccessRead = 1,
    kAccessWrite = 2,
    kAccessReadWrite = 3,
};

enum class FileCreation {
    kOpenExisting,  // the file must exist
    kCreateAlways,  // created, or truncated to empty when it exists
    kOpenAlways,    // opened, or created empty when it is missing
};

struct FileOpenOptions {
    unsigned access = kAccessRead;
    unsigned share = kAccessRead;
    FileCreation creation = FileCreation::kOpenExisting;
    // A file created by this open gets no write permission (the read-only attribute).
    bool readOnly = false;
    // A symbolic link as the last element of the path is refused (see "Symbolic links").
    // POSIX note: O_NOFOLLOW, errno ELOOP. Windows: creating a link needs a privilege that
    // other users do not have, so a backend may ignore the option there.
    bool noFollow = false;
    // A file created by this open can be read and written by its owner only. Used for files in
    // the temporary folder (the log's fallback). POSIX note: mode 0600 (0400 with readOnly);
    // a file already there is opened only when it belongs to the user (else EACCES, so a file
    // planted by another user is never written), and loses any permission it gave others.
    // Windows: the file inherits the security of the user's own temporary folder.
    bool ownerOnly = false;
    // Only a regular file is opened: a FIFO, socket or device at the path is refused (EINVAL)
    // without waiting for a peer, for callers that mean to read a file through to its end.
    // POSIX note: every open is made without blocking (O_NONBLOCK, cleared once open), so even
    // without this option a FIFO never keeps the open waiting. Windows: a reserved device name
    // (NUL, CON, AUX, COM1, ...) or a pipe is refused once open (ERROR_INVALID_PARAMETER),
    // since reading some devices waits without end.
    bool regularOnly = false;
};

// Opens path. Folders are refused (EISDIR), so are links with noFollow. Answers 0 on failure.
FileHandle OpenFileShared(std::u16string_view path, const FileOpenOptions& options);

// Closes the handle (POSIX: and forgets its table entry). False for a handle that is not open.
bool CloseFileHandle(FileHandle handle);

// One read of up to count bytes at the current position; *read receives the bytes read (0 at
// the end of the file, still a success).
bool ReadFileHandle(FileHandle handle, void* buffer, uint32_t count, uint32_t* read);

// Writes count bytes at the current position. *written receives the bytes that reached the
// file; true only when all of them did (a full disk gives false with the part that fit).
bool WriteFileHandle(FileHandle handle, const void* buffer, uint32_t count, uint32_t* written);

enum class SeekOrigin { kBegin, kCurrent, kEnd };

// Moves the position. Answers the new position's low 32 bits, or all bits set on failure with
// errno non-zero. A position of exactly 0xFFFFFFFF is also answered as all bits set, with
// errno 0: callers tell the two apart by errno.
uint32_t SetFilePosition(FileHandle handle, int64_t offset, SeekOrigin origin);

// The low 32 bits of the file's size, or all bits set on failure (errno non-zero).
uint32_t FileSizeLow(FileHandle handle);

// The whole size of the file, or -1 on failure.
int64_t FileSize(FileHandle handle);

// Cuts the file to size bytes and puts the position there, so the next write continues at the
// new end. Used to take back the part of a write that did not fit. False on failure (the
// position is then unspecified).
bool TruncateFileHandle(FileHandle handle, int64_t size);

// The error code the last failing call of this thread left.
int LastError();
void SetLastError(int error);

// The folder of the system's shared libraries, without a trailing separator.
// POSIX: "/usr/lib" when it exists, else "/lib".
std::u16string SystemFolder();

// --- Test support: injected faults. Production code never calls these. ---------------------
// Each fault is reported with the error code the system gives the same condition, so the code
// under test sees exactly what a real failure would show it.
enum class InjectedFault {
    kDiskFull,          // POSIX ENOSPC   (Windows ERROR_DISK_FULL)
    kIoError,           // POSIX EIO      (Windows ERROR_IO_DEVICE)
    kTooManyOpenFiles,  // POSIX EMFILE   (Windows ERROR_TOO_MANY_OPEN_FILES)
};

// From now on every write of this process (WriteFileHandle, and writes to streams of
// OpenStdioFile) succeeds only for as many bytes as are left of `bytes`, counted across all
// writes; the write that exceeds it writes the part that fits and fails with `fault`, as a full
// disk or a failing device would. A negative value lifts the limit.
// Windows note: a stream's writes go from fwrite straight into the C runtime, which offers no
// place to intercept them, so there the limit reaches WriteFileHandle only.
void FailWritesForTesting(int64_t bytes, InjectedFault fault);

// FailWritesForTesting(bytes, InjectedFault::kDiskFull).
void LimitWritesForTesting(int64_t bytes);

// From now on reads of this process (ReadFileHandle, ReadStdioFile and every other read of a
// stream of OpenStdioFile) deliver only as many bytes as are left of `bytes`, counted across all
// reads: a read that asks for more delivers the part that is left (a short read, still a
// success); once nothing is left every read fails with `fault`. A negative value lifts it.
// Windows note: of the reads of streams, only those through ReadStdioFile are reached.
void FailReadsForTesting(int64_t bytes, InjectedFault fault);

// The next `opens` opens of files go ahead as usual; every open after them fails with `fault`
// before it creates or truncates anything, until a negative value lifts it. Every call of
// OpenFileShared counts, attribute queries (kAccessNone) included, and so does every
// OpenStdioFile. Folder listings are not affected.
void FailOpensForTesting(int64_t opens, InjectedFault fault);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_FILE_H
