#include "util/platform/profile.h"

#include <windows.h>

#include "util/platform/win32/wide.h"

namespace util_platform {

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
    return ::GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), wideFallback.c_str(),
                                      reinterpret_cast<wchar_t*>(buffer), size, wideFile.c_str());
}

}  // namespace util_platform
