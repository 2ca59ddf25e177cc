#include "util/environment/path_service.h"

#include "util/environment/environment.h"
#include "util/environment/path_table.h"
#include "util/environment/ui_language.h"
#include "util/logging/logging.h"

namespace common {
namespace sdk {
namespace {

struct LocaleFile {
    PathType type;
    const char16_t* name;
};

// The files inside the locale folder, in the order they are stored.
constexpr LocaleFile kLocaleFiles[] = {
    {PATH_RESOURCE_DLL, u"ResourceRes.dll"},
    {PATH_HELP_FILE, u"TESSMAR.chm"},
    {PATH_LICENSE_FILE, u"license.txt"},
    {PATH_LOCALE_DAWNQUILL_FILE, u"dawnquill.txt"},
};

}  // namespace

PathService::PathService() = default;
PathService::~PathService() = default;

PathService& PathService::GetInstance() {
    static PathService instance;
    return instance;
}

bool PathService::Init(const CString& language) {
    CString selected;
    if (!environment::SelectUILanguage(language, &selected)) {
        Logging::WriteV(u"Fail to SelectUILanguage()");
        return false;
    }
    Logging::Debug(u"Selected language='%s'", selected.GetString());

    CPath exeDawnquill;
    environment::GetExeFolderPath(&exeDawnquill);
    exeDawnquill.Append(u"dawnquill.txt");
    g_pathTable[PATH_EXE_DAWNQUILL_FILE] = exeDawnquill;

    CPath localeFolder;
    environment::GetLocalesFolderPath(&localeFolder);
    localeFolder.Append(selected);
    g_pathTable[PATH_LOCALE_DIR] = localeFolder;

    for (const LocaleFile& file : kLocaleFiles) {
        CPath path = localeFolder;
        path.Append(file.name);
        g_pathTable[file.type] = path;
    }
    return true;
}

void PathService::Get(PathType type, CPath* path) const {
    if (!path) return;
    auto found = g_pathTable.find(type);
    *path = found == g_pathTable.end() ? CPath() : CPath(found->second);
}

}  // namespace sdk
}  // namespace common
