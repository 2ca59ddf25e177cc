#include "util/platform/ui_language.h"

#include <stdlib.h>

#include "util/base/utf.h"

namespace util_platform {
namespace {

const UILanguageOverride* g_uiLanguageOverride = nullptr;

bool IsAsciiLetter(char16_t ch) {
    return (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z');
}
bool IsAsciiDigit(char16_t ch) {
    return ch >= u'0' && ch <= u'9';
}
char16_t AsciiLower(char16_t ch) {
    return (ch >= u'A' && ch <= u'Z') ? ch + (u'a' - u'A') : ch;
}
char16_t AsciiUpper(char16_t ch) {
    return (ch >= u'a' && ch <= u'z') ? ch - (u'a' - u'A') : ch;
}

// The value of an environment variable, or "" when it is unset.
std::u16string Variable(const char* name) {
    const char* value = ::getenv(name);
    return value ? util_base::Utf8ToUtf16(value) : std::u16string();
}

}  // namespace

bool ParseLocaleName(std::u16string_view locale, std::u16string* language, std::u16string* region) {
    // Codeset and modifier describe the encoding and a variant, not the language.
    size_t cut = locale.find_first_of(u".@");
    if (cut != std::u16string_view::npos) locale = locale.substr(0, cut);
    size_t underscore = locale.find(u'_');
    std::u16string_view lang = locale.substr(0, underscore);
    std::u16string_view territory = underscore == std::u16string_view::npos
                                        ? std::u16string_view()
                                        : locale.substr(underscore + 1);
    if (lang.size() < 2 || lang.size() > 8) return false;  // also rejects "C"
    for (char16_t ch : lang)
        if (!IsAsciiLetter(ch)) return false;
    std::u16string parsedLanguage;
    for (char16_t ch : lang) parsedLanguage += AsciiLower(ch);
    if (parsedLanguage == u"posix") return false;

    std::u16string parsedRegion;
    bool regionUsable = territory.size() >= 2 && territory.size() <= 3;
    for (char16_t ch : territory)
        if (!IsAsciiLetter(ch) && !IsAsciiDigit(ch)) regionUsable = false;
    if (regionUsable)
        for (char16_t ch : territory) parsedRegion += AsciiUpper(ch);
    *language = std::move(parsedLanguage);
    *region = std::move(parsedRegion);
    return true;
}

std::vector<std::u16string> ParseLanguageList(std::u16string_view list) {
    std::vector<std::u16string> names;
    while (true) {
        size_t colon = list.find(u':');
        std::u16string language, region;
        if (ParseLocaleName(list.substr(0, colon), &language, &region))
            names.push_back(region.empty() ? language : language + u'-' + region);
        if (colon == std::u16string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    return names;
}

bool PreferredUILanguages(std::vector<std::u16string>* names) {
    if (g_uiLanguageOverride) {
        if (!g_uiLanguageOverride->preferred) return false;
        *names = *g_uiLanguageOverride->preferred;
        return true;
    }
    std::vector<std::u16string> parsed = ParseLanguageList(Variable("LANGUAGE"));
    if (parsed.empty()) return false;
    *names = std::move(parsed);
    return true;
}

bool UserDefaultUILanguage(std::u16string* language, std::u16string* region) {
    if (g_uiLanguageOverride) {
        if (!g_uiLanguageOverride->language) return false;
        *language = *g_uiLanguageOverride->language;
        *region = g_uiLanguageOverride->region;
        return true;
    }
    // The first variable that is set decides, as it does for the locale's message category;
    // a "C" or "POSIX" there means the user named no language at all.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        std::u16string value = Variable(name);
        if (!value.empty()) return ParseLocaleName(value, language, region);
    }
    return false;
}

void SetUILanguagesForTesting(const UILanguageOverride* value) {
    g_uiLanguageOverride = value;
}

}  // namespace util_platform
