#include "util/platform/environment.h"

#include <windows.h>

#include <cwchar>

#include "util/platform/win32/wide.h"

namespace util_platform {
namespace {

const ExecutablePathOverride* g_executableOverride = nullptr;

}  // namespace

// GetModuleFileNameW of the process's module (null), not of this library. The buffer starts at
// the classic 260 characters and grows while the system says the name was cut, so a long path
// is given whole.
bool ExecutablePath(std::u16string* path, int* error) {
    if (g_executableOverride) {
        if (!g_executableOverride->path) {
            *error = g_executableOverride->error;
            return false;
        }
        *path = *g_executableOverride->path;
        return true;
    }
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            *error = static_cast<int>(::GetLastError());
            return false;
        }
        if (length < buffer.size()) {
            *path = win32::FromWide(buffer.data(), length);
            return true;
        }
        if (buffer.size() >= 32768) {  // the longest path the system knows
            *error = ERROR_INSUFFICIENT_BUFFER;
            return false;
        }
        buffer.resize(buffer.size() * 2);
    }
}

void SetExecutablePathForTesting(const ExecutablePathOverride* value) {
    g_executableOverride = value;
}

bool OsVersion(OsVersionRecord* record) {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExW(&info)) return false;
    record->platformId = info.dwPlatformId;
    record->major = info.dwMajorVersion;
    record->minor = info.dwMinorVersion;
    return true;
}

// Windows answers USB and IPv6 support from the version record (OsVersion succeeds), so these
// two are not consulted there; every Windows that runs this library has both.
bool UsbBusPresent() {
    return true;
}

bool Ipv6SocketAvailable() {
    return true;
}

bool ListSubfolders(std::u16string_view folder, std::vector<std::u16string>* names) {
    names->clear();
    if (folder.empty()) return false;
    std::wstring pattern = win32::Wide(folder);
    if (pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L"*.*";
    WIN32_FIND_DATAW entry;
    HANDLE search = ::FindFirstFileW(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        if (std::wcscmp(entry.cFileName, L".") == 0 || std::wcscmp(entry.cFileName, L"..") == 0)
            continue;
        // A link to a folder carries the folder attribute too, and counts as one.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            names->push_back(win32::FromWide(entry.cFileName));
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
    return true;
}

}  // namespace util_platform
