#include "util/platform/path.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <shlwapi.h>

#include "util/base/utf.h"
#include "util/platform/win32/wide.h"

namespace util_platform {
namespace {

bool IsDriveLetter(char16_t ch) {
    return (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z');
}

// The length of "server\share" after a leading "\\": up to (not including) the separator after
// the share name, or the whole text.
size_t UncServerShareLength(std::u16string_view rest) {
    size_t server = 0;
    while (server < rest.size() && !IsPathSeparator(rest[server])) ++server;
    if (server == rest.size()) return rest.size();
    size_t share = server + 1;
    while (share < rest.size() && !IsPathSeparator(rest[share])) ++share;
    return share;
}

}  // namespace

// Roots: "C:" (drive-relative), "C:\", "\" (the current drive's root), "\\server\share\", and
// the same behind the "\\?\" prefix that lifts the path-length limit.
size_t PathRootLength(std::u16string_view path) {
    size_t prefix = 0;
    if (path.substr(0, 4) == u"\\\\?\\") {
        prefix = 4;
        if (path.substr(4, 4) == u"UNC\\") {
            const size_t end = 8 + UncServerShareLength(path.substr(8));
            return end < path.size() ? end + 1 : end;
        }
    }
    std::u16string_view rest = path.substr(prefix);
    if (rest.size() >= 2 && IsDriveLetter(rest[0]) && rest[1] == u':')
        return prefix + ((rest.size() >= 3 && IsPathSeparator(rest[2])) ? 3 : 2);
    if (prefix == 0 && rest.size() >= 2 && IsPathSeparator(rest[0]) && IsPathSeparator(rest[1])) {
        const size_t end = 2 + UncServerShareLength(rest.substr(2));
        return end < rest.size() ? end + 1 : end;
    }
    if (!rest.empty() && IsPathSeparator(rest[0])) return prefix + 1;
    return prefix;
}

namespace {

// The path in a MAX_PATH buffer, as the shlwapi helpers take it; false when it does not fit.
bool ToBuffer(const std::u16string& path, wchar_t (&buffer)[MAX_PATH]) {
    if (path.size() >= MAX_PATH) return false;
    for (size_t i = 0; i < path.size(); ++i) buffer[i] = static_cast<wchar_t>(path[i]);
    buffer[path.size()] = L'\0';
    return true;
}

void FromBuffer(const wchar_t* buffer, std::u16string& path) {
    path = win32::FromWide(buffer);
}

}  // namespace

bool AppendPath(std::u16string& path, const char16_t* more) {
    wchar_t buffer[MAX_PATH];
    if (!ToBuffer(path, buffer)) return false;
    const std::wstring tail = more ? win32::Wide(std::u16string_view(more)) : std::wstring();
    if (!::PathAppendW(buffer, more ? tail.c_str() : nullptr)) return false;
    FromBuffer(buffer, path);
    return true;
}

bool RemovePathFileSpec(std::u16string& path) {
    wchar_t buffer[MAX_PATH];
    if (!ToBuffer(path, buffer)) return false;
    const bool changed = ::PathRemoveFileSpecW(buffer) != FALSE;
    FromBuffer(buffer, path);
    return changed;
}

void AddPathSeparator(std::u16string& path) {
    wchar_t buffer[MAX_PATH];
    if (ToBuffer(path, buffer) && ::PathAddBackslashW(buffer)) FromBuffer(buffer, path);
}

bool PathExists(std::u16string_view path) {
    if (path.empty()) return false;
    return ::PathFileExistsW(win32::Wide(path).c_str()) != FALSE;
}

// Windows takes UTF-16 itself; this narrow form (UTF-8) serves messages and tools only.
std::string NativePath(std::u16string_view path) {
    return util_base::Utf16ToUtf8(path);
}

}  // namespace util_platform
