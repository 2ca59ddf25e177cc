#include "util/platform/temp_folder.h"

#include <cstdlib>

#include "util/base/utf.h"
#include "util/platform/path.h"

namespace util_platform {
namespace {

// The classic path limit (MAX_PATH): a name must stay below it.
constexpr size_t kMaxPathLength = 260;

}  // namespace

std::u16string TempFolder() {
    const char* value = std::getenv("TMPDIR");
    std::u16string folder = (value && *value) ? util_base::Utf8ToUtf16(value) : u"/tmp";
    if (!IsPathSeparator(folder.back())) folder += kPathSeparator;
    return folder;
}

std::u16string TempFileName(std::u16string_view folder, uint32_t u) {
    static const char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string digits;
    do {
        digits.insert(digits.begin(), kHex[u % 16]);
        u /= 16;
    } while (u != 0);
    std::u16string name(folder);
    if (!name.empty() && !IsPathSeparator(name.back())) name += kPathSeparator;
    name += u"tmp" + digits + u".TMP";
    if (name.size() >= kMaxPathLength) return {};
    return name;
}

}  // namespace util_platform
