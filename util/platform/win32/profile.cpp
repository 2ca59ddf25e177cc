#include "util/platform/profile.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "util/platform/win32/wide.h"

namespace util_platform {
namespace {

// The largest buffer a value is read into: 2^30 characters, as the settings-file service's.
constexpr uint32_t kLargestRoom = uint32_t{1} << 30;

}  // namespace

// The system's profile API answers here, as it does for every Windows program reading the same
// file. The contract of profile.h describes what it does; the portable reader the POSIX build
// uses (profile_reader.h) is held to the same answers by a test that runs both side by side.

uint32_t ReadProfileSection(std::u16string_view file, std::u16string_view section, char16_t* buffer,
                            uint32_t size) {
    if (buffer == nullptr || size < 2) {
        if (buffer && size) buffer[0] = 0;
        return 0;
    }
    const std::wstring wideFile = win32::Wide(file);
    const std::wstring wideSection = win32::Wide(section);
    return ::GetPrivateProfileSectionW(wideSection.c_str(), reinterpret_cast<wchar_t*>(buffer),
                                       size, wideFile.c_str());
}

uint32_t ReadProfileString(std::u16string_view file, std::u16string_view section,
                           std::u16string_view key, std::u16string_view fallback, char16_t* buffer,
                           uint32_t size) {
    if (buffer == nullptr || size == 0) return 0;
    const std::wstring wideFile = win32::Wide(file);
    const std::wstring wideSection = win32::Wide(section);
    const std::wstring wideKey = win32::Wide(key);
    const std::wstring wideFallback = win32::Wide(fallback);
    // The system cuts a quoted value before it removes the quotes, so a value that does not fit
    // can come back as size - 2 or size - 3 characters, which a caller takes for complete. So
    // the value is read into a buffer with room to spare (grown until the answer is clearly
    // short of its end) and then cut to size - 1 characters, as the contract says.
    std::wstring value;
    uint32_t room = size < 64 ? 64 : size;
    uint32_t length = 0;
    for (;;) {
        value.assign(room, L'\0');
        length =
            ::GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), wideFallback.c_str(),
                                       &value[0], room, wideFile.c_str());
        if (length + 3 < room || room >= kLargestRoom) break;
        room = room > kLargestRoom / 2 ? kLargestRoom : room * 2;
    }
    const uint32_t copied = length < size - 1 ? length : size - 1;
    std::copy(value.begin(), value.begin() + copied, buffer);
    buffer[copied] = 0;
    return copied;
}

ProfileFile::ProfileFile(std::u16string_view path) : path_(path) {}

uint32_t ProfileFile::ReadSection(std::u16string_view section, char16_t* buffer, uint32_t size) {
    return ReadProfileSection(path_, section, buffer, size);
}

bool ProfileFile::VisitSection(std::u16string_view section, uint32_t firstSize,
                               const std::function<void(std::u16string_view)>& visit) {
    std::vector<char16_t> buffer(firstSize < 2 ? 2 : firstSize);
    uint32_t copied;
    for (;;) {
        const auto size = static_cast<uint32_t>(buffer.size());
        copied = ReadSection(section, buffer.data(), size);
        if (copied == 0) return false;
        if (copied != size - 2) break;
        if (size >= kLargestRoom) return false;
        buffer.assign(size > kLargestRoom / 2 ? kLargestRoom : size * 2, u'\0');
    }
    const std::u16string_view list(buffer.data(), copied);
    for (size_t start = 0; start < list.size();) {
        size_t end = list.find(u'\0', start);
        if (end == std::u16string_view::npos) end = list.size();
        visit(list.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

uint32_t ProfileFile::ReadString(std::u16string_view section, std::u16string_view key,
                                 std::u16string_view fallback, char16_t* buffer, uint32_t size) {
    return ReadProfileString(path_, section, key, fallback, buffer, size);
}

}  // namespace util_platform
