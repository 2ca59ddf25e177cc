#include "util/platform/temp_folder.h"

#include <cstdlib>

#include "util/base/utf.h"
#include "util/platform/path.h"

namespace util_platform {

std::u16string TempFolder() {
    const char* value = std::getenv("TMPDIR");
    std::u16string folder = (value && *value) ? util_base::Utf8ToUtf16(value) : u"/tmp";
    if (!IsPathSeparator(folder.back())) folder += kPathSeparator;
    return folder;
}

}  // namespace util_platform
