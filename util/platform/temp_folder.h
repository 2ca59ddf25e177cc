#ifndef UTIL_PLATFORM_TEMP_FOLDER_H
#define UTIL_PLATFORM_TEMP_FOLDER_H

// The user's folder for temporary files: a folder only this user can list and write, so that
// files the library makes there (the log's fallback, temporary directories, temporary names)
// cannot be read, replaced or redirected by another user. Every user of a temporary folder in
// the library calls TempFolder; none builds a temporary path of its own.

#include <cstdint>
#include <string>
#include <string_view>

namespace util_platform {

// The temporary folder, always ending with a separator, or an empty text when the user has no
// usable temporary folder (callers then fail as their contract says: the log's fallback is not
// taken, ScopedTempDir::Create throws its creation error, GetWorkingDirectoryandFile skips the
// candidate).
//
// Windows: what GetTempPathW answers (that folder is the user's own); empty when it fails or
// does not fit 260 characters.
//
// POSIX note: "/tmp" is shared by every user, so it is never answered itself.
//   - $TMPDIR when it is set and not empty (taken as UTF-8; a relative value stays relative).
//     The user chose it, so it is answered as it is: not checked and not created here.
//   - Otherwise the private folder "/tmp/tessmar-<uid>/" of the calling user, created with mode
//     0700 when it is missing. An existing one is used only when it is a real folder (a
//     symbolic link in its place does not count, however it resolves), owned by the calling
//     user, with no permission bits for group or others. Anything else (a link, a file, a folder
//     of another user or one others may enter, a failure to create it) answers empty: another
//     user may have planted it, and nothing of ours goes there.
//   TMPDIR unset      -> "/tmp/tessmar-1000/"   (uid 1000; created 0700 when missing)
//   TMPDIR=""         -> "/tmp/tessmar-1000/"
//   TMPDIR=/var/tmp   -> "/var/tmp/"
//   TMPDIR=/var/tmp/  -> "/var/tmp/"
//   TMPDIR unset, /tmp/tessmar-1000 a link, or mode 0755, or owned by uid 1001 -> ""
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
