// CFileAccess handles are the system's HANDLEs: a host passes ours to Win32 calls and gives us
// the ones it opened with CreateFileW, and closing goes to CloseHandle.

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <string>

#include "util/files/file_access.h"
#include "util/testing/scratch_dir.h"

namespace {

// True while the system still knows the HANDLE (so it was neither closed nor made up).
bool SystemKnows(HANDLE handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

std::string Read(CFileAccess& files, FileHandle handle, uint32_t count) {
    char buffer[64];
    uint32_t read = 0;
    if (count > sizeof buffer || !files.FA_ReadFile(handle, buffer, count, &read)) return "(fail)";
    return std::string(buffer, read);
}

TEST(Win32HandleTest, OurHandlesWorkWithTheSystemsCalls) {
    util_testing::ScratchDir dir;
    dir.WriteFile("f.bin", "0123456789");
    CFileAccess files;
    for (FileMode mode : {FM_Read, FM_Append}) {
        SCOPED_TRACE(mode);
        FileHandle ours = files.FA_OpenFile(dir.Wide("f.bin"), mode);
        ASSERT_NE(ours, nullptr);
        HANDLE system = static_cast<HANDLE>(ours);
        EXPECT_EQ(::GetFileType(system), static_cast<DWORD>(FILE_TYPE_DISK));
        // ReadFile and FA_ReadFile share the one position of the one HANDLE.
        ASSERT_NE(::SetFilePointer(system, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
        char buffer[4];
        DWORD got = 0;
        EXPECT_TRUE(::ReadFile(system, buffer, 4, &got, nullptr) &&
                    std::string(buffer, got) == "0123");
        EXPECT_EQ(Read(files, ours, 3), "456");
        // The system's device control reaches the file: a plain file is no reparse point,
        // which is the file system's answer, not the refusal of an unknown handle.
        char reparse[1024];
        EXPECT_FALSE(::DeviceIoControl(system, FSCTL_GET_REPARSE_POINT, nullptr, 0, reparse,
                                       sizeof reparse, &got, nullptr));
        EXPECT_NE(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(files.FA_CloseFile(ours), 1);
        EXPECT_FALSE(SystemKnows(system));  // closed by CloseHandle, nothing kept open
    }
    // A device: the console's null device is a character device to the system.
    FileHandle device = files.FA_OpenDevice(u"NUL", 1);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(::GetFileType(static_cast<HANDLE>(device)), static_cast<DWORD>(FILE_TYPE_CHAR));
    EXPECT_EQ(files.FA_WriteFile(device, "x", 1), 1);
    EXPECT_EQ(files.FA_CloseDevice(device), 1);
    EXPECT_FALSE(SystemKnows(static_cast<HANDLE>(device)));
}

TEST(Win32HandleTest, HandlesTheHostOpenedItselfAreTakenAndClosed) {
    util_testing::ScratchDir dir;
    const std::wstring path = dir.WriteFile("f.bin", "0123456789").wstring();
    HANDLE host = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(host, INVALID_HANDLE_VALUE);
    CFileAccess files;
    EXPECT_EQ(files.FA_SeekFile(host, 8), 1);
    EXPECT_EQ(files.FA_WriteFile(host, "XY", 2), 1);
    EXPECT_EQ(files.FA_SeekFile(host, 6), 1);
    EXPECT_EQ(Read(files, host, 8), "67XY");
    EXPECT_EQ(files.FA_CloseFile(host), 1);
    EXPECT_FALSE(SystemKnows(host));  // not leaked
    EXPECT_EQ(util_testing::ReadFileBytes(dir.path() / "f.bin"), "01234567XY");
}

}  // namespace
