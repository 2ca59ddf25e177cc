#ifndef UTIL_FILES_INIFILE_INTERNAL_H
#define UTIL_FILES_INIFILE_INTERNAL_H

// Internal pieces of the settings-file reader, declared for its tests and benchmarks.

#include <cstdint>
#include <string_view>

#include "util/base/cstring.h"

namespace common {
namespace sdk {
namespace inifile {
namespace internal {

// Read buffers start at this many characters and double while the text does not fit.
constexpr uint32_t kFirstBufferSize = 256;

// The size to try after `size`, or 0 when the doubling would pass 2^31 - 1 (so 2^30 is the
// largest size tried): 256 -> 512, 2^30 -> 0.
uint32_t NextBufferSize(uint32_t size);

// Adds the pair of one section entry ("k = v", "flag") to values: key and value trimmed, a
// later entry replacing an earlier one, an entry starting with "=" ignored, an entry without
// "=" a key with the empty value.
void AddSectionEntry(std::u16string_view entry, KeyValueMap* values);

}  // namespace internal
}  // namespace inifile
}  // namespace sdk
}  // namespace common

#endif  // UTIL_FILES_INIFILE_INTERNAL_H
