#ifndef UTIL_FILES_SCOPED_TEMP_DIR_INTERNAL_H
#define UTIL_FILES_SCOPED_TEMP_DIR_INTERNAL_H

// The path rules behind ScopedTempDir, visible to its tests.

#include <cstdint>
#include <string>
#include <string_view>

namespace common {
namespace sdk {
namespace temp_dir_internal {

// The folder that holds path, keeping its trailing separator; a root (or an empty text) cannot
// be shortened and comes back unchanged. One trailing separator of path is ignored:
//   "/a/b/" -> "/a/",  "/a/b" -> "/a/",  "/a" -> "/",  "/" -> "/",  "a/b" -> "a/",  "a" -> ""
std::u16string ParentFolder(std::u16string_view path);

// The candidate name for number u (1 to 0xFFFE) in folder, by the system's temporary-name rule
// (util_platform::TempFileName): "tmp", u in hexadecimal without leading zeros, ".TMP". Empty
// when the result would not fit the path limit.
//   ("/tmp/", 1) -> "/tmp/tmp1.TMP",  ("/tmp", 0xABC) -> "/tmp/tmpABC.TMP"  (POSIX)
std::u16string CandidateName(std::u16string_view folder, uint32_t u);

}  // namespace temp_dir_internal
}  // namespace sdk
}  // namespace common

#endif  // UTIL_FILES_SCOPED_TEMP_DIR_INTERNAL_H
