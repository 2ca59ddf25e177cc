#ifndef UTIL_TESTING_TEMP_DIR_PATH_H
#define UTIL_TESTING_TEMP_DIR_PATH_H

// Test support for ScopedTempDir: the directory an object holds, as a std::filesystem path.

#include <gtest/gtest.h>

#include <filesystem>

#include "util/files/scoped_temp_dir.h"

namespace util_testing {

// The held directory; a failed check (and an empty path) when the object holds none.
inline std::filesystem::path HeldPath(const common::sdk::ScopedTempDir& dir) {
    CPath path;
    EXPECT_TRUE(dir.GetPath(&path));
    return std::filesystem::path(path.ToUtf8());
}

}  // namespace util_testing

#endif  // UTIL_TESTING_TEMP_DIR_PATH_H
