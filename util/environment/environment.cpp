#include "util/environment/environment.h"

#include "util/environment/system_support.h"
#include "util/logging/logging.h"
#include "util/platform/environment.h"

namespace common {
namespace sdk {
namespace environment {

int ENV_IsUSupportUSB() {
    util_platform::OsVersionRecord version;
    if (util_platform::OsVersion(&version)) return UsbSupportedByVersion(version) ? 1 : 0;
    return util_platform::UsbBusPresent() ? 1 : 0;
}

int ENV_IsUSupportIPv6() {
    util_platform::OsVersionRecord version;
    if (util_platform::OsVersion(&version)) return Ipv6SupportedByVersion(version) ? 1 : 0;
    return util_platform::Ipv6SocketAvailable() ? 1 : 0;
}

void GetExeFilePath(CPath* path) {
    if (!path) return;
    std::u16string exe;
    int error = 0;
    if (!util_platform::ExecutablePath(&exe, &error)) {
        Logging::Debug(u"Fail to GetModuleFileName(NULL): lasterr=%d", error);
        return;
    }
    *path = CPath(CString(exe));
}

void GetExeFolderPath(CPath* path) {
    if (!path) return;
    GetExeFilePath(path);
    path->RemoveFileSpec();
}

void GetLocalesFolderPath(CPath* path) {
    if (!path) return;
    GetExeFolderPath(path);
    path->Append(u"locales");
}

void GetTessmarIniPath(CPath* path) {
    if (!path) return;
    GetExeFolderPath(path);
    path->Append(u"Tessmar.ini");
}

}  // namespace environment
}  // namespace sdk
}  // namespace common
