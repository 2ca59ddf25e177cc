#ifndef UTIL_ENVIRONMENT_PATH_SERVICE_H
#define UTIL_ENVIRONMENT_PATH_SERVICE_H

// PathService: where the host finds its language-dependent resources. Init chooses the UI
// language once and works out every path; Get hands the stored paths out. Nothing is checked
// for existence: the paths are what the layout rule gives.
//
// The paths live in one process-wide table, empty when the library is loaded. A successful Init
// overwrites every entry; a failed Init leaves the table as it was. The table has no lock: Init
// must not run while another thread calls Get; any number of threads may call Get at once.

#include <cstdint>

#include "util/base/path.h"
#include "util/util_export.h"

namespace common {
namespace sdk {

// The resources the path service knows. "Locale folder" means the locales folder joined with
// the selected language; for an executable in /opt/tool and the language ja:
enum PathType : std::int32_t {
    PATH_LOCALE_DIR = 0,             // /opt/tool/locales/ja
    PATH_RESOURCE_DLL = 1,           // /opt/tool/locales/ja/ResourceRes.dll
    PATH_HELP_FILE = 2,              // /opt/tool/locales/ja/TESSMAR.chm
    PATH_LICENSE_FILE = 3,           // /opt/tool/locales/ja/license.txt
    PATH_EXE_DAWNQUILL_FILE = 4,     // /opt/tool/dawnquill.txt (beside the executable)
    PATH_LOCALE_DAWNQUILL_FILE = 5,  // /opt/tool/locales/ja/dawnquill.txt
};

class UTIL_EXPORT PathService {
  public:
    // The one instance, made on the first call.
    static PathService& GetInstance();

    ~PathService();
    PathService(const PathService&) = delete;
    PathService& operator=(const PathService&) = delete;

    // Selects the UI language (`language` forced when not empty, else chosen automatically; see
    // the locales folder and "Tessmar.ini" beside the executable) and stores all six paths.
    // Answers false, logging "Fail to SelectUILanguage()", when no language could be selected;
    // the paths of an earlier successful Init then stay. The language goes into the paths as it
    // was selected (a forced "EN-us" matches the folder en-US but gives ".../locales/EN-us"),
    // so on a file system that tells case apart the host should pass folder names as written.
    bool Init(const CString& language);

    // The path stored for type. Empty before a successful Init and for a value outside PathType.
    // A null path does nothing.
    void Get(PathType type, CPath* path) const;

  private:
    PathService();
};

}  // namespace sdk
}  // namespace common

#endif  // UTIL_ENVIRONMENT_PATH_SERVICE_H
