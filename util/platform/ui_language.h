#ifndef UTIL_PLATFORM_UI_LANGUAGE_H
#define UTIL_PLATFORM_UI_LANGUAGE_H

// The user's preferred user-interface languages, as names of the form "language" or
// "language-REGION" (en, en-US, zh-TW).
//
// POSIX has no per-thread UI language list; the variables that gettext reads stand in:
//   - the preferred list is $LANGUAGE, a colon-separated list of locale names;
//   - the user's default is the first set and non-empty one of $LC_ALL, $LC_MESSAGES, $LANG.
// A locale name "language[_TERRITORY][.codeset][@modifier]" gives language and region;
// codeset and modifier are dropped.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace util_platform {

// The preferred UI languages in the user's order. Answers false when the system has no such
// list (POSIX: $LANGUAGE unset, empty, or without one usable name).
bool PreferredUILanguages(std::vector<std::u16string>* names);

// The user's default UI language as a two-letter (or three-letter) language code and a region
// code; the region is empty when the default names none. Answers false when the system names no
// language (POSIX: none of the variables set, or the locale is "C" or "POSIX").
bool UserDefaultUILanguage(std::u16string* language, std::u16string* region);

// Replaces the two queries above for tests: a field holding a value is answered by that query; a
// nullopt field makes that query fail. nullptr restores the real queries. Production code never
// calls this.
struct UILanguageOverride {
    std::optional<std::vector<std::u16string>> preferred;
    std::optional<std::u16string> language;  // nullopt: no user default
    std::u16string region;
};
void SetUILanguagesForTesting(const UILanguageOverride* value);

// --- The parsing behind the POSIX queries (pure; exposed for tests) ---------------------------

// Splits a locale name into its language (lower case) and territory (upper case):
//   "zh_TW.UTF-8" -> true, "zh", "TW"
//   "ja"          -> true, "ja", ""
//   "de_DE@euro"  -> true, "de", "DE"
//   "C.UTF-8", "POSIX", "" -> false
// A language must be two to eight ASCII letters; a territory that is not two or three ASCII
// letters or digits is dropped (the language alone is kept).
bool ParseLocaleName(std::u16string_view locale, std::u16string* language, std::u16string* region);

// The names of a $LANGUAGE-style colon list, each as "language" or "language-REGION", empty and
// unusable entries left out:
//   "en_US:fr::de_DE.UTF-8" -> {"en-US", "fr", "de-DE"}
//   "C:POSIX"               -> {}
std::vector<std::u16string> ParseLanguageList(std::u16string_view list);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_UI_LANGUAGE_H
