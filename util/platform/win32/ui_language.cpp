#include "util/platform/ui_language.h"

#include <windows.h>

#include "util/platform/win32/wide.h"

// ParseLocaleName and ParseLanguageList read POSIX locale names; Windows names its languages
// itself, so they have no part here (and are built only with the POSIX backend).

namespace util_platform {
namespace {

const UILanguageOverride* g_uiLanguageOverride = nullptr;

// MUI_LANGUAGE_NAME | MUI_MERGE_SYSTEM_FALLBACK | MUI_MERGE_USER_FALLBACK: names rather than
// identifiers, with the system's and the user's fallback languages merged in.
constexpr DWORD kPreferredLanguageFlags = 0x38;

using GetThreadPreferredUILanguagesFunction = BOOL(WINAPI*)(DWORD, PULONG, PZZWSTR, PULONG);

// The locale information `type` (0x59 language, 0x5A country) of a language identifier.
bool LocaleInfo(LANGID language, LCTYPE type, std::u16string* text) {
    wchar_t buffer[9] = {};
    const int length = ::GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT), type, buffer, 9);
    if (length == 0) return false;
    *text = win32::FromWide(buffer);
    return true;
}

}  // namespace

// The thread's preferred UI languages. The entry exists only on newer systems, so it is looked
// up at run time in the kernel32 module the process has loaded anyway.
bool PreferredUILanguages(std::vector<std::u16string>* names) {
    if (g_uiLanguageOverride) {
        if (!g_uiLanguageOverride->preferred) return false;
        *names = *g_uiLanguageOverride->preferred;
        return true;
    }
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return false;
    auto query = reinterpret_cast<GetThreadPreferredUILanguagesFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "GetThreadPreferredUILanguages")));
    if (!query) return false;
    ULONG count = 0, size = 0;
    if (!query(kPreferredLanguageFlags, &count, nullptr, &size) || size == 0) return false;
    std::wstring buffer(size, L'\0');
    if (!query(kPreferredLanguageFlags, &count, &buffer[0], &size)) return false;
    // Names separated by zero characters, the list ended by two.
    std::vector<std::u16string> found;
    size_t start = 0;
    for (size_t i = 0; i <= buffer.size(); ++i) {
        if (i == buffer.size() || buffer[i] == L'\0') {
            if (i > start) found.push_back(win32::FromWide(buffer.data() + start, i - start));
            start = i + 1;
        }
    }
    *names = std::move(found);
    return true;
}

bool UserDefaultUILanguage(std::u16string* language, std::u16string* region) {
    if (g_uiLanguageOverride) {
        if (!g_uiLanguageOverride->language) return false;
        *language = *g_uiLanguageOverride->language;
        *region = g_uiLanguageOverride->region;
        return true;
    }
    const LANGID id = ::GetUserDefaultUILanguage();
    if (id == 0) return false;
    std::u16string name;
    if (!LocaleInfo(id, LOCALE_SISO639LANGNAME, &name)) return false;
    // The region is asked for only when the identifier names a sub-language (bits 10-15); a
    // failing country query leaves it empty.
    std::u16string country;
    if ((id & 0xFC00) != 0 && !LocaleInfo(id, LOCALE_SISO3166CTRYNAME, &country)) country.clear();
    *language = std::move(name);
    *region = std::move(country);
    return true;
}

void SetUILanguagesForTesting(const UILanguageOverride* value) {
    g_uiLanguageOverride = value;
}

}  // namespace util_platform
