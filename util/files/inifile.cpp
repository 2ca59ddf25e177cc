#include "util/files/inifile.h"

#include <vector>

#include "util/files/inifile_internal.h"
#include "util/platform/profile.h"

namespace common {
namespace sdk {
namespace inifile {
namespace internal {

uint32_t NextBufferSize(uint32_t size) {
    const uint64_t next = uint64_t{size} * 2;
    return next > 0x7FFFFFFFu ? 0 : static_cast<uint32_t>(next);
}

void AddSectionPairs(std::u16string_view list, KeyValueMap* values) {
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(u'\0', start);
        if (end == std::u16string_view::npos) end = list.size();
        std::u16string_view entry = list.substr(start, end - start);
        start = end + 1;
        if (entry.empty() || entry[0] == u'=') continue;
        size_t equals = entry.find(u'=');
        CString key(entry.substr(0, equals));
        CString value;
        if (equals != std::u16string_view::npos) value = CString(entry.substr(equals + 1));
        key.Trim();
        value.Trim();
        (*values)[key] = value;
    }
}

}  // namespace internal

bool GetKeyValues(const CString& file, const CString& section, KeyValueMap* values) {
    if (values == nullptr) return false;
    util_platform::ProfileFile profile(file.View());  // read once, whatever the doubling asks
    std::vector<char16_t> buffer(internal::kFirstBufferSize);
    uint32_t copied;
    for (;;) {
        const auto size = static_cast<uint32_t>(buffer.size());
        copied = profile.ReadSection(section.View(), buffer.data(), size);
        if (copied == 0) return false;
        if (copied != size - 2) break;
        const uint32_t next = internal::NextBufferSize(size);
        if (next == 0) return false;
        buffer.assign(next, u'\0');
    }
    internal::AddSectionPairs(std::u16string_view(buffer.data(), copied), values);
    return true;
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
