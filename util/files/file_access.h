#ifndef UTIL_FILES_FILE_ACCESS_H
#define UTIL_FILES_FILE_ACCESS_H

// CFileAccess: handle-based access to firmware files and devices, job client ID stamping and the
// description block of firmware files.
//
// Results follow the Win32 style: int 1 for success and 0 for failure; handles are FileHandle
// values where 0 means "no handle" (on Windows the HANDLE itself, which hosts may pass to Win32
// calls, and every operation also takes a HANDLE the host opened; see util/base/file_handle.h).
// While a file is open through this class, other openers may
// read it but not write it.

#include <cstdint>

#include "util/base/cstring.h"
#include "util/base/file_handle.h"
#include "util/util_export.h"

// How FA_OpenFile opens a file.
enum FileMode : int32_t {
    FM_Read = 0,    // read only; the file must exist
    FM_Create = 1,  // read and write; created anew, an existing file is truncated
    FM_Append = 2,  // read and write; created if missing; positioned at the end
};

// Result of CFileAccess::makeDownloadDescList.
enum MakeDLFileRes : int32_t {
    MDL_OpenFailed = 1,   // the file cannot be opened for reading
    MDL_InvalidData = 2,  // too short for the block, positioning or reading failed
    MDL_Success = 3,      // the text was extracted
};

// The class has no state; any object serves and objects share nothing. Nothing here logs or
// throws; every failure is reported by the result alone and leaves the platform's error code
// (errno on POSIX) as the failing call set it.
//
// Share modes: every FA_OpenFile mode lets other openers read but not write, and the rule holds
// between handles, the text streams of file_util.h and the log alike. A second opener is let in
// only if it, too, leaves the holder's access alone, so
//   FA_OpenFile(p, FM_Read) twice                  -> both open
//   FA_OpenFile(p, FM_Read), then FM_Create        -> 0, and p is not truncated
//   FA_OpenFile(p, FM_Create), then FM_Read        -> 0 (the reader would deny writing)
//   FA_OpenFile(p, FM_Create), then makeDownloadDescList(p) -> reads (it denies nothing)
// Sizes and offsets are 32-bit: files of 4 GiB or more are outside this interface.
class UTIL_EXPORT CFileAccess {
  public:
    CFileAccess() = default;
    ~CFileAccess() = default;
    CFileAccess& operator=(const CFileAccess&) = default;

    // Stores the size of the file at path in *size and answers 1. Answers 0 and leaves *size
    // untouched for a missing file, a folder, and a size of exactly 0xFFFFFFFF (which cannot be
    // told from the failure value). Works while others hold the file open, even for writing.
    int FA_GetFileSize(const char16_t* path, uint32_t* size);

    // Moves the position to offset bytes from the start. Beyond the end is accepted (1);
    // a negative offset, handle 0 and a stale handle (POSIX) give 0.
    int FA_SeekFile(FileHandle handle, int32_t offset);

    // One read of up to count bytes; *read receives how many came. 1 whenever the read itself
    // succeeds, also with 0 bytes at the end of the file. `read` is required (null gives 0).
    int FA_ReadFile(FileHandle handle, void* buffer, uint32_t count, uint32_t* read);

    // Writes count bytes; 1 only when all of them were written (a full disk gives 0, with the
    // part that fitted left in the file). A count of 0 on a valid handle gives 1.
    int FA_WriteFile(FileHandle handle, const void* buffer, uint32_t count);

    // Opens path as the mode says; 0 on failure (never the all-bits-set value). A mode other
    // than FM_Read, FM_Create and FM_Append gives 0. FM_Create truncates only after the share
    // check let it in. FM_Create and FM_Append never open through a symbolic link at path: a
    // link there (dangling or not) gives 0 with the error ELOOP on POSIX, and the file it
    // points to is neither created nor changed. FM_Read follows links. POSIX: only a regular
    // file is opened; a FIFO, socket or device gives 0 at once (EINVAL) instead of waiting for
    // a peer or reading without end (FA_OpenDevice opens those).
    FileHandle FA_OpenFile(const char16_t* path, FileMode mode);

    // Opens an existing device or file. readWrite != 0: read and write, sharing read and write;
    // readWrite == 0: write only, sharing read. 0 on failure.
    FileHandle FA_OpenDevice(const char16_t* path, int readWrite);

    // Closes the handle: 1 on success, 0 for handle 0, all bits set or a handle that is not
    // open. Windows: CloseHandle's result (the HANDLE's value may be given out again at once).
    // POSIX: closing twice is harmless. FA_CloseDevice is the same operation.
    int FA_CloseFile(FileHandle handle);
    int FA_CloseDevice(FileHandle handle);

    // Copies source to destination with the stamp line "@JCID=" + jobClientId (in the thread's
    // ANSI code page, util/platform/codepage.h) + CR LF inserted after the first 9 bytes:
    //   source 00..0A, ID "A1" -> 00..08 40 4A 43 49 44 3D 41 31 0D 0A 09 0A
    //   empty ID               -> the 8-byte line "@JCID=" CR LF
    // The source is never changed. 1 when the whole destination was written, 0 otherwise:
    //   - a missing or unreadable source, or one shorter than 9 bytes: 0 before the destination
    //     is touched;
    //   - a destination that cannot be opened for writing, including the source itself (its
    //     open for reading refuses writers): 0, and that file is unchanged;
    //   - a failure later (full disk, a source that shrinks while being copied, sources of
    //     2 GiB or more whose positions do not fit the signed 32-bit seek) leaves the
    //     destination as far as it was written.
    // The copy runs through one 512,002-byte buffer in blocks of at most 512,000 bytes, so its
    // memory does not grow with the file. The source's measured size is the target: bytes
    // appended during the copy are not taken.
    int FA_FileAddJobClientID(const char16_t* source, const char16_t* destination,
                              const char16_t* jobClientId);

    // True when ".tmp.bin" occurs anywhere in name, case-sensitively:
    //   "x.tmp.bin" -> true, "x.tmp.bin.old" -> true, "x.TMP.BIN" -> false, "x.tmp" -> false
    static bool IsTempBinFile(const CString& name);

    // Extracts the description block of a firmware file: at `offset` (140 when 0) a 32-bit
    // big-endian length L, 4 skipped bytes, then L bytes of text in the thread's ANSI code page.
    // The block's last byte is a terminator whatever it holds, and the text ends at its first
    // zero byte:
    //   L = 4, bytes 61 62 63 00 -> "abc";  L = 4, bytes 61 62 63 64 -> "abc"
    //   L = 4, bytes 61 00 63 00 -> "a";    length bytes 00 00 01 00  -> L = 256
    // MDL_OpenFailed when the file cannot be opened; MDL_InvalidData when it is shorter than
    // offset + 8 + L (computed without 32-bit wrap-around), when L is 0 (no room for the
    // terminator), or when reading fails. `text` is assigned only with MDL_Success. A length
    // larger than the file is refused before any buffer of that size is allocated. Reading lets
    // others read and write the file meanwhile.
    static MakeDLFileRes makeDownloadDescList(const CString& path, uint32_t offset, CString& text);

#if UTIL_WCHAR_IS_UTF16
    // The members above that take constant wide text, for wchar_t text (LPCWSTR) where it is
    // UTF-16; the same results: FA_OpenFile(L"C:\\fw\\a.bin", FM_Read).
    int FA_GetFileSize(util_wide::Text path, uint32_t* size) {
        return FA_GetFileSize(path.get(), size);
    }
    FileHandle FA_OpenFile(util_wide::Text path, FileMode mode) {
        return FA_OpenFile(path.get(), mode);
    }
    FileHandle FA_OpenDevice(util_wide::Text path, int readWrite) {
        return FA_OpenDevice(path.get(), readWrite);
    }
    int FA_FileAddJobClientID(util_wide::Text source, util_wide::Text destination,
                              util_wide::Text jobClientId) {
        return FA_FileAddJobClientID(source.get(), destination.get(), jobClientId.get());
    }
#endif

  private:
    // Opens fileName with FA_OpenFile in the first of three folders where that succeeds: the
    // given folder, the temporary folder (with a trailing separator) and the system folder
    // (without one). The path is folder text and name joined as they are, with no separator
    // put between them ("/opt/fw" + "a.bin" -> "/opt/fwa.bin"). On success the outputs receive
    // the folder and the full path; when no candidate opens the answer is the all-bits-set
    // handle (not 0) and the outputs are untouched.
    FileHandle GetWorkingDirectoryandFile(const char16_t* folder, const char16_t* fileName,
                                          FileMode mode, CString& folderOut, CString& pathOut);
    FileHandle GetWorkingDirectoryandFile(const char16_t* folder, const char16_t* fileName,
                                          FileMode mode, CString& pathOut);
    friend class CFileAccessTestPeer;
};

#endif  // UTIL_FILES_FILE_ACCESS_H
