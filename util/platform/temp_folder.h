#ifndef UTIL_PLATFORM_TEMP_FOLDER_H
#define UTIL_PLATFORM_TEMP_FOLDER_H

// The user's folder for temporary files.

#include <cstdint>
#include <string>
#include <string_view>

namespace util_platform {

// The temporary folder, always ending with a separator. Nothing is checked or created: the
// folder may be missing, or name a file.
//
// POSIX: $TMPDIR when it is set and not empty (taken as UTF-8; a relative value stays
// relative), otherwise "/tmp/". Unlike a per-user Windows temporary folder, "/tmp" is shared by
// all users, so whatever is created there must be private to its owner.
//   TMPDIR unset      -> "/tmp/"
//   TMPDIR=""         -> "/tmp/"
//   TMPDIR=/var/tmp   -> "/var/tmp/"
//   TMPDIR=/var/tmp/  -> "/var/tmp/"
std::u16string TempFolder();

// The name the system's temporary-name rule gives the number u (1 to 0xFFFE) in folder, with
// the prefix "tmp", without creating or checking anything there: the folder, a separator where
// it has none, "tmp", u in hexadecimal without leading zeros, and the extension "TMP". Empty
// when the name cannot be formed (it would reach the 260-character path limit; on Windows also
// when the folder is missing).
//   POSIX: upper-case digits and extension: ("/tmp/", 0xABC) -> "/tmp/tmpABC.TMP".
//   Windows: GetTempFileNameW with u as its unique number, so the letter case is the system's
//   (Windows writes "tmpABC.TMP", Wine "tmpabc.tmp"; file names there ignore case anyway).
std::u16string TempFileName(std::u16string_view folder, uint32_t u);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_TEMP_FOLDER_H
