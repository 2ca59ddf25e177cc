#ifndef UTIL_PLATFORM_POSIX_PRIVATE_TEMP_PARENT_H
#define UTIL_PLATFORM_POSIX_PRIVATE_TEMP_PARENT_H

// POSIX only, test support for TempFolder (temp_folder.h): the folder that holds the users'
// private temporary folders "tessmar-<uid>" is "/tmp". A test of the rules for those folders
// moves it into a scratch folder of its own, so that it never touches the real ones, which
// other programs of the same user are using. Production code never calls this.

#include <string>

namespace util_platform {

// Makes `parent` the folder of the private temporary folders; an empty text restores "/tmp".
void SetPrivateTempParentForTesting(const std::string& parent);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_POSIX_PRIVATE_TEMP_PARENT_H
