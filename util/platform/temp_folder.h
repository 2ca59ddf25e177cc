#ifndef UTIL_PLATFORM_TEMP_FOLDER_H
#define UTIL_PLATFORM_TEMP_FOLDER_H

// The user's folder for temporary files.

#include <string>

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

}  // namespace util_platform

#endif  // UTIL_PLATFORM_TEMP_FOLDER_H
