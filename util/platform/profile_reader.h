#ifndef UTIL_PLATFORM_PROFILE_READER_H
#define UTIL_PLATFORM_PROFILE_READER_H

// The settings-file reader of profile.h, over the bytes of a file already read: portable logic
// with no system call of its own (only the ANSI code page's decoder). The POSIX backend reads
// every settings file with it; on Windows the system's profile API answers instead, and a test
// runs both over the same files to show that they agree.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace util_platform {

// ReadProfileSection over the file content `bytes`: the same rules, results and truncation.
uint32_t ReadProfileSectionText(std::string_view bytes, std::u16string_view section,
                                char16_t* buffer, uint32_t size);

// ReadProfileString over the file content `bytes`.
uint32_t ReadProfileStringText(std::string_view bytes, std::u16string_view section,
                               std::u16string_view key, std::u16string_view fallback,
                               char16_t* buffer, uint32_t size);

// The whole answers behind the two functions above, before any buffer cuts them: the section's
// entries, each followed by a zero character (without the list's final zero), and the value
// (or the fallback). Copy*Answer then give exactly what the functions give for a buffer of
// `size`, so one answer serves every buffer size.
std::u16string ProfileSectionAnswer(std::string_view bytes, std::u16string_view section);
std::u16string ProfileStringAnswer(std::string_view bytes, std::u16string_view section,
                                   std::u16string_view key, std::u16string_view fallback);
uint32_t CopySectionAnswer(std::u16string_view entries, char16_t* buffer, uint32_t size);

// Hands each entry of ProfileSectionAnswer's list to visit, in order, as the reader finds it:
// the same entries without the list and its zeros, so a caller that wants them one by one
// (into a map, say) builds no list first. The entry's text lives only until visit returns.
using EntryVisitor = std::function<void(std::u16string_view entry)>;
void VisitProfileSection(std::string_view bytes, std::u16string_view section,
                         const EntryVisitor& visit);
uint32_t CopyStringAnswer(std::u16string_view value, char16_t* buffer, uint32_t size);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_PROFILE_READER_H
