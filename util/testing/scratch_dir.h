#ifndef UTIL_TESTING_SCRATCH_DIR_H
#define UTIL_TESTING_SCRATCH_DIR_H

// Test support: a fresh folder under the system's temporary folder, removed with everything in
// it when the object goes away. Built on std::filesystem so that tests of the library's own
// temporary-folder code do not depend on it.

#include <filesystem>
#include <string>
#include <string_view>

#include "util/base/cstring.h"

namespace util_testing {

class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder, or a name inside it, as the library's string type.
    CString Wide(const std::string& name = "") const;
    // Writes bytes to a file inside the folder and answers its full path.
    std::filesystem::path WriteFile(const std::string& name, const std::string& bytes) const;

  private:
    std::filesystem::path path_;
};

// The whole content of a file ("" when it cannot be read).
std::string ReadFileBytes(const std::filesystem::path& path);

// The UTF-16 bytes of a text, unit by unit (a lone surrogate too), little-endian unless
// bigEndian, without a byte-order mark: what a file in that encoding holds.
std::string Utf16Bytes(std::u16string_view text, bool bigEndian = false);

}  // namespace util_testing

#endif  // UTIL_TESTING_SCRATCH_DIR_H
