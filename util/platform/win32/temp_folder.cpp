#include "util/platform/temp_folder.h"

#include <windows.h>

#include "util/platform/path.h"
#include "util/platform/win32/wide.h"

namespace util_platform {

// GetTempPathW gives the user's own temporary folder (TMP, TEMP, USERPROFILE, the Windows
// folder, in that order), already ending with a backslash. A folder the classic 260-character
// buffer cannot hold is no usable temporary folder.
std::u16string TempFolder() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = ::GetTempPathW(MAX_PATH, buffer);
    if (length == 0 || length >= MAX_PATH) return std::u16string();
    std::u16string folder = win32::FromWide(buffer, length);
    if (!IsPathSeparator(folder.back())) folder += kPathSeparator;
    return folder;
}

// GetTempFileNameW with a non-zero unique number forms the name only (nothing is created).
// The folder is given with its separator, since the system joins it to the prefix as it stands.
std::u16string TempFileName(std::u16string_view folder, uint32_t u) {
    std::wstring path = win32::Wide(folder);
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
    wchar_t name[MAX_PATH];
    if (u == 0 || ::GetTempFileNameW(path.c_str(), L"tmp", u, name) == 0) return std::u16string();
    return win32::FromWide(name);
}

}  // namespace util_platform
