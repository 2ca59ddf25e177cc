#ifndef UTIL_ENVIRONMENT_ENVIRONMENT_H
#define UTIL_ENVIRONMENT_ENVIRONMENT_H

// What the system offers the tool (USB, IPv6) and where the tool's own files lie: its
// executable, the executable's folder, the "locales" folder beside it and the settings file
// "Tessmar.ini" beside it. UI language selection and the path service build every path on these.
//
// The path functions report no failure. A null out-pointer makes them return at once. When the
// executable's name cannot be read, the derived functions work on whatever the out-parameter held
// before the call (its last element is removed, and a name is appended), and the failure is
// written to the log as a debug line.

#include "util/base/path.h"
#include "util/util_export.h"

namespace common {
namespace sdk {
namespace environment {

// 1 when the system can talk to devices over USB, else 0.
// On Windows: the NT family from version 5. On POSIX: the kernel exposes a USB bus (whether or
// not a device is plugged in).
UTIL_EXPORT int ENV_IsUSupportUSB();

// 1 when the system supports IPv6, else 0.
// On Windows: the NT family from version 5.1 (5.0 answers 0). On POSIX: an IPv6 socket can be
// opened.
UTIL_EXPORT int ENV_IsUSupportIPv6();

// The full path of the running program's executable (the host's, not this library's):
//   "/opt/tool/tool"
// On failure *path is left as it was and "Fail to GetModuleFileName(NULL): lasterr=%d" is
// written through Logging::Debug with the system's error code.
UTIL_EXPORT void GetExeFilePath(CPath* path);

// The executable's folder, without a trailing separator, except for the root itself:
//   "/opt/tool/tool" -> "/opt/tool"
//   "/tool"          -> "/"
UTIL_EXPORT void GetExeFolderPath(CPath* path);

// The executable's folder joined with "locales" (exactly one separator between them):
//   "/opt/tool/tool" -> "/opt/tool/locales"
//   "/tool"          -> "/locales"
UTIL_EXPORT void GetLocalesFolderPath(CPath* path);

// The executable's folder joined with "Tessmar.ini":
//   "/opt/tool/tool" -> "/opt/tool/Tessmar.ini"
UTIL_EXPORT void GetTessmarIniPath(CPath* path);

}  // namespace environment
}  // namespace sdk
}  // namespace common

#endif  // UTIL_ENVIRONMENT_ENVIRONMENT_H
