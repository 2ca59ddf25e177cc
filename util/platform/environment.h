#ifndef UTIL_PLATFORM_ENVIRONMENT_H
#define UTIL_PLATFORM_ENVIRONMENT_H

// What the running system is and offers: the executable of the process, the system's version
// record, and whether devices can be reached over USB and addresses over IPv6.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace util_platform {

// The full path of the running program's executable (the host's, not this library's).
// On success answers true and stores the path; on failure answers false, leaves *path alone and
// stores the system's error code in *error.
// POSIX: the target of /proc/self/exe. The path is not cut at 260 characters as the classic
// module-name buffer would cut it; a longer path is given whole.
bool ExecutablePath(std::u16string* path, int* error);

// Replaces ExecutablePath for tests: with a value, ExecutablePath answers it; with an error
// (value empty), ExecutablePath fails with that code. nullptr restores the real query. Production
// code never calls this.
struct ExecutablePathOverride {
    std::optional<std::u16string> path;  // nullopt: the query fails
    int error = 0;                       // the error code of the failing query
};
void SetExecutablePathForTesting(const ExecutablePathOverride* value);

// The system's version record: platform identifier (1 the 9x family, 2 the NT family), major and
// minor version.
struct OsVersionRecord {
    unsigned platformId = 0;
    unsigned major = 0;
    unsigned minor = 0;
};

// Answers true and fills *record where the system keeps such a version record (Windows).
// POSIX: there is none; answers false, and the USB and IPv6 facts come from the two queries
// below instead.
bool OsVersion(OsVersionRecord* record);

// POSIX: true when the kernel exposes a USB bus (/sys/bus/usb exists), that is when USB devices
// can be talked to once one is plugged in. No device needs to be present.
bool UsbBusPresent();

// POSIX: true when an IPv6 socket can be opened (the kernel has IPv6 and it is not switched off
// for this process's network namespace).
bool Ipv6SocketAvailable();

// The names of the subfolders of folder, in the order the system's directory listing returns
// them. "." and ".." are left out; so are files and anything that is not a folder. A symbolic
// link that leads to a folder counts as a folder. Answers false (and leaves *names empty) when
// the folder cannot be listed.
bool ListSubfolders(std::u16string_view folder, std::vector<std::u16string>* names);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_ENVIRONMENT_H
