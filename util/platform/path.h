#ifndef UTIL_PLATFORM_PATH_H
#define UTIL_PLATFORM_PATH_H

// File-system path facts of the platform.

#include <string>
#include <string_view>

namespace util_platform {

// The separator between the elements of a path. On POSIX a backslash is an ordinary character
// of a file name, so only '/' separates.
#if defined(_WIN32)
constexpr char16_t kPathSeparator = u'\\';
#else
constexpr char16_t kPathSeparator = u'/';
#endif

inline bool IsPathSeparator(char16_t ch) {
#if defined(_WIN32)
    return ch == u'\\' || ch == u'/';
#else
    return ch == u'/';
#endif
}

// The length of the root at the start of path ("/" on POSIX; "C:\", "\\server\share\" on
// Windows): the part that removing elements never removes. 0 for a relative path.
size_t PathRootLength(std::u16string_view path);

// The path edits of CPath, made in place as the platform makes them.
// Windows: shlwapi's PathAppendW, PathRemoveFileSpecW and PathAddBackslashW on a buffer of
// MAX_PATH (260) units, with their answers; a path or result that does not fit answers false
// (AppendPath, RemovePathFileSpec) or leaves the path as it is (AddPathSeparator):
//   "C:\Tool" + "..\x" -> "C:\x"     "C:\Tool" + "D:\x" -> "D:\x"     null more -> false
//   RemovePathFileSpec("\\srv\share\x") -> "\\srv\share"
// POSIX: AppendPath puts exactly one '/' between the parts ("" + "x" -> "x", a null or empty
// more leaves the path, answering true); RemovePathFileSpec drops the last element and the
// separators before it, keeping the root, and answers whether the path changed;
// AddPathSeparator adds '/' unless the path is empty or ends with one.
bool AppendPath(std::u16string& path, const char16_t* more);
bool RemovePathFileSpec(std::u16string& path);
void AddPathSeparator(std::u16string& path);

// True when something (file, folder, device, ...) exists at path. A symbolic link counts when
// its target exists.
bool PathExists(std::u16string_view path);

// The path in the encoding the operating system takes (UTF-8 on POSIX).
std::string NativePath(std::u16string_view path);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_PATH_H
