#ifndef UTIL_PLATFORM_CODEPAGE_H
#define UTIL_PLATFORM_CODEPAGE_H

// Conversion between UTF-16 and the calling thread's ANSI code page: the 8-bit character set in
// which narrow text inside firmware files and narrow text files is written.
//
// POSIX: the ANSI code page is the character set of the user's locale, taken from the first of
// LC_ALL, LC_CTYPE and LANG that is set and non-empty. It is UTF-8 when none is set, when the
// locale is "C" or "POSIX", and when the character set cannot be made out or is not known to
// iconv. A locale installed on the system answers with its own character set; otherwise the
// part after the dot is taken ("de_DE.ISO-8859-1@euro" -> ISO-8859-1; "de_DE" -> UTF-8).
// The environment is read on every call, so a change of LANG takes effect at once.
//
//   WideFromAnsi("abc")                           -> u"abc"
//   WideFromAnsi("\xE4") under LANG=de_DE.ISO-8859-1 -> u"\u00E4"
//   WideFromAnsi("\xE4") under UTF-8              -> u"\uFFFD" (malformed)

#include <string>
#include <string_view>

namespace util_platform {

// The name of the thread's ANSI code page as iconv knows it, "UTF-8" for UTF-8.
std::string AnsiCodePage();

// Narrow text in the ANSI code page to UTF-16. Never fails: each byte sequence the code page
// does not define becomes U+FFFD, a truncated sequence at the end too.
std::u16string WideFromAnsi(std::string_view ansi);

// UTF-16 to narrow text in the ANSI code page. Never fails. What the code page lacks is
// written as the platform does by default:
//   Windows: WideCharToMultiByte(CP_THREAD_ACP, 0, ...), the system's "best fit": under 1252
//     U+0101 -> "a", "\u0141x" -> "Lx", a character beyond the 16-bit range -> "??" (one '?'
//     per UTF-16 unit); under 932 "\u00E9" -> "e".
//   POSIX: iconv; a character the code page lacks, and an unpaired surrogate, becomes '?'
//     (under UTF-8 an unpaired surrogate becomes U+FFFD).
std::string AnsiFromWide(std::u16string_view wide);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_CODEPAGE_H
