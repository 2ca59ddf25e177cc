#ifndef UTIL_ENVIRONMENT_UI_LANGUAGE_H
#define UTIL_ENVIRONMENT_UI_LANGUAGE_H

// Choice of the user-interface language. The tool ships one folder per UI language under its
// "locales" folder, named for the language (en-US, ja, zh-Hans); the choice is one of those
// names. Language names are compared without regard to case everywhere here. Internal: the path
// service is the one caller.

#include "util/base/cstring.h"

namespace common {
namespace sdk {
namespace environment {

// Chooses the UI language and puts it into *language.
//
// A non-empty `forced` that has a locale folder wins as it was written (not as the folder is
// written), logged as "SelectUILanguage(force): %s". A forced language without a folder gives
// way to the default language of the settings file, taken without checking for its folder and
// without a log line:
//   forced "EN-us", folders {en-US}       -> "EN-us"
//   forced "fr-FR", folders {ja}, default "ja" or "de" -> "ja" or "de"
//
// An empty `forced` chooses automatically: the OS UI languages in the user's order, then the
// default language, the first of them with a locale folder, written as in that list:
//   OS {de-DE, en-US}, default ja, folders {en-US, ja} -> "en-US"
//   OS {de-DE, en-US}, default ja, folders {ja}        -> "ja"
//   OS {en-us},        default ja, folders {en-US}     -> "en-us"
// Without a default language the automatic choice fails ("Fail to get default language") even
// when an OS language has a folder. Debug lines show both lists joined by ",".
//
// Answers true when a language was stored; false (with *language untouched) otherwise, and for
// a null `language`.
bool SelectUILanguage(const CString& forced, CString* language);

// "DefaultLanguage" in section "Common" of "Tessmar.ini". Answers true when it is there and not
// empty; only then is *language written.
bool GetDefaultLanguage(CString* language);

// Empties *languages and fills it with the names of the subfolders of the locales folder, in the
// order the system lists them. Files are not languages. Nothing is cached.
void GetSupportLanguages(StringList* languages);

// True when a subfolder of the locales folder has this name, case ignored.
bool IsSupportedLanguage(const CString& language);

// Appends the user's OS UI languages, in order of preference, to *languages. The system's
// preferred list is taken when there is one; otherwise the user's default language gives
// "language-REGION" (when a region is known), then for Chinese its script ("zh-Hant" for TW,
// HK and MO, "zh-Hans" otherwise), then "language":
//   en, US -> en-US, en          zh, TW -> zh-TW, zh-Hant, zh
//   zh, CN -> zh-CN, zh-Hans, zh zh, "" -> zh-Hans, zh
// Answers false (appending nothing) when neither source names a language, or for null.
bool GetOSUILanguages(StringList* languages);

// The names the user's default language stands for, as GetOSUILanguages appends them when the
// system has no preferred list.
void AppendUserDefaultLanguages(const CString& language, const CString& region,
                                StringList* languages);

}  // namespace environment
}  // namespace sdk
}  // namespace common

#endif  // UTIL_ENVIRONMENT_UI_LANGUAGE_H
