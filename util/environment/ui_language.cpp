#include "util/environment/ui_language.h"

#include <string>
#include <vector>

#include "util/common/cstring_util.h"
#include "util/environment/environment.h"
#include "util/files/inifile.h"
#include "util/logging/logging.h"
#include "util/platform/environment.h"
#include "util/platform/ui_language.h"

namespace common {
namespace sdk {
namespace environment {
namespace {

bool SameLanguage(const CString& a, const CString& b) {
    return a.CompareNoCase(b) == 0;
}

bool ContainsLanguage(const StringList& list, const CString& language) {
    for (const CString& entry : list)
        if (SameLanguage(entry, language)) return true;
    return false;
}

bool SelectAutomatically(CString* language) {
    CString defaultLanguage;
    if (!GetDefaultLanguage(&defaultLanguage)) {
        Logging::WriteV(u"Fail to get default language");
        return false;
    }
    // When neither source names a language the list is simply empty: the default still counts.
    StringList candidates;
    GetOSUILanguages(&candidates);
    candidates.push_back(defaultLanguage);
    Logging::Debug(u"OS UI languages='%s'", cstring_util::Join(candidates, u",").GetString());

    StringList supported;
    GetSupportLanguages(&supported);
    Logging::Debug(u"Support languages='%s'", cstring_util::Join(supported, u",").GetString());

    for (const CString& candidate : candidates) {
        if (ContainsLanguage(supported, candidate)) {
            *language = candidate;
            return true;
        }
    }
    return false;
}

}  // namespace

bool SelectUILanguage(const CString& forced, CString* language) {
    if (!language) return false;
    if (forced.IsEmpty()) return SelectAutomatically(language);
    if (IsSupportedLanguage(forced)) {
        *language = forced;
        Logging::WriteV(u"SelectUILanguage(force): %s", forced.GetString());
        return true;
    }
    return GetDefaultLanguage(language);
}

bool GetDefaultLanguage(CString* language) {
    if (!language) return false;
    CPath ini;
    GetTessmarIniPath(&ini);
    CString value;
    if (!inifile::GetString(ini, u"Common", u"DefaultLanguage", &value) || value.IsEmpty())
        return false;
    *language = value;
    return true;
}

void GetSupportLanguages(StringList* languages) {
    if (!languages) return;
    languages->clear();
    CPath locales;
    GetLocalesFolderPath(&locales);
    std::vector<std::u16string> folders;
    if (!util_platform::ListSubfolders(locales.View(), &folders)) return;
    for (const std::u16string& folder : folders) languages->push_back(CString(folder));
}

bool IsSupportedLanguage(const CString& language) {
    StringList supported;
    GetSupportLanguages(&supported);
    return ContainsLanguage(supported, language);
}

bool GetOSUILanguages(StringList* languages) {
    if (!languages) return false;
    std::vector<std::u16string> preferred;
    if (util_platform::PreferredUILanguages(&preferred)) {
        for (const std::u16string& name : preferred)
            if (!name.empty()) languages->push_back(CString(name));
        return true;
    }
    std::u16string language, region;
    if (!util_platform::UserDefaultUILanguage(&language, &region) || language.empty()) return false;
    AppendUserDefaultLanguages(CString(language), CString(region), languages);
    return true;
}

void AppendUserDefaultLanguages(const CString& language, const CString& region,
                                StringList* languages) {
    if (!region.IsEmpty()) languages->push_back(language + u'-' + region);
    if (language == u"zh") {
        bool traditional = region == u"TW" || region == u"HK" || region == u"MO";
        languages->push_back(CString(traditional ? u"zh-Hant" : u"zh-Hans"));
    }
    languages->push_back(language);
}

}  // namespace environment
}  // namespace sdk
}  // namespace common
