// LOCAL ONLY (untracked, excluded): declarations matching util/platform/posix/codepage.cpp of
// branch files, whose header is not committed there yet. Removed before merging files again.
#ifndef UTIL_PLATFORM_CODEPAGE_H
#define UTIL_PLATFORM_CODEPAGE_H
#include <string>
#include <string_view>
namespace util_platform {
std::string AnsiCodePage();
std::u16string WideFromAnsi(std::string_view ansi);
std::string AnsiFromWide(std::u16string_view wide);
}  // namespace util_platform
#endif
