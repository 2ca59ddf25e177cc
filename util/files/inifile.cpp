#include "util/files/inifile.h"

#include <vector>

#include "util/files/inifile_internal.h"
#include "util/platform/profile.h"
#include "util/platform/unicode.h"

namespace common {
namespace sdk {
namespace inifile {
namespace internal {

uint32_t NextBufferSize(uint32_t size) {
    const uint64_t next = uint64_t{size} * 2;
    return next > 0x7FFFFFFFu ? 0 : static_cast<uint32_t>(next);
}

void AddSectionEntry(std::u16string_view entry, KeyValueMap* values) {
    if (entry.empty() || entry[0] == u'=') return;
    const size_t equals = entry.find(u'=');
    std::u16string_view key = entry.substr(0, equals), value;
    if (equals != std::u16string_view::npos) value = entry.substr(equals + 1);
    // Trimmed before any copy is made. Sections are often written in key order: placing each
    // pair after the last one costs one comparison then, and only one more when the guess is
    // wrong.
    values->insert_or_assign(values->end(), CString(util_platform::TrimSpace(key)),
                             CString(util_platform::TrimSpace(value)));
}

}  // namespace internal

bool GetKeyValues(const CString& file, const CString& section, KeyValueMap* values) {
    if (values == nullptr) return false;
    // One read and parse of the file, whatever size the list turns out to need.
    return util_platform::ProfileFile(file.View())
        .VisitSection(
            section.View(), internal::kFirstBufferSize,
            [values](std::u16string_view entry) { internal::AddSectionEntry(entry, values); });
}

bool GetString(const CString& file, const CString& section, const CString& key, CString* value) {
    util_platform::ProfileFile profile(file.View());
    std::vector<char16_t> buffer(internal::kFirstBufferSize);
    uint32_t copied;
    for (;;) {
        const auto size = static_cast<uint32_t>(buffer.size());
        copied = profile.ReadString(section.View(), key.View(), u"", buffer.data(), size);
        if (copied != size - 1) break;
        const uint32_t next = internal::NextBufferSize(size);
        if (next == 0) return false;
        buffer.assign(next, u'\0');
    }
    if (value != nullptr) *value = CString(buffer.data());
    return true;
}

}  // namespace inifile
}  // namespace sdk
}  // namespace common
