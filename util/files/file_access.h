#ifndef UTIL_FILES_FILE_ACCESS_H
#define UTIL_FILES_FILE_ACCESS_H

// CFileAccess: handle-based access to firmware files and devices, job client ID stamping and the
// description block of firmware files.
//
// Results follow the Win32 style: int 1 for success and 0 for failure; handles are FileHandle
// values where 0 means "no handle". While a file is open through this class, other openers may
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

class UTIL_EXPORT CFileAccess {
  public:
    CFileAccess() = default;
    ~CFileAccess() = default;
    CFileAccess& operator=(const CFileAccess&) = default;

    int FA_GetFileSize(const char16_t* path, uint32_t* size);
    int FA_SeekFile(FileHandle handle, int32_t offset);
    int FA_ReadFile(FileHandle handle, void* buffer, uint32_t count, uint32_t* read);
    int FA_WriteFile(FileHandle handle, const void* buffer, uint32_t count);
    FileHandle FA_OpenFile(const char16_t* path, FileMode mode);
    FileHandle FA_OpenDevice(const char16_t* path, int readWrite);
    int FA_CloseFile(FileHandle handle);
    int FA_CloseDevice(FileHandle handle);

    int FA_FileAddJobClientID(const char16_t* source, const char16_t* destination,
                              const char16_t* jobClientId);

    static bool IsTempBinFile(const CString& name);
    static MakeDLFileRes makeDownloadDescList(const CString& path, uint32_t offset, CString& text);

  private:
    FileHandle GetWorkingDirectoryandFile(const char16_t* folder, const char16_t* fileName,
                                          FileMode mode, CString& folderOut, CString& pathOut);
    FileHandle GetWorkingDirectoryandFile(const char16_t* folder, const char16_t* fileName,
                                          FileMode mode, CString& pathOut);
    friend class CFileAccessTestPeer;
};

#endif  // UTIL_FILES_FILE_ACCESS_H
