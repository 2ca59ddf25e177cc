#ifndef UTIL_PLATFORM_STDIO_FILE_H
#define UTIL_PLATFORM_STDIO_FILE_H

// C runtime streams on wide-character paths: the one thing the standard C library cannot do
// portably is open a file by a UTF-16 name. Everything after the open (fread, fwrite, ferror,
// feof, fclose) is plain standard C on the returned stream.

#include <cstdio>
#include <string_view>

namespace util_platform {

// Opens the file at path with a standard fopen mode ("rb", "wb", "ab", "r+b", ...). On failure
// answers null and stores the C runtime's error number (ENOENT, EACCES, EINVAL, ...) in
// *error when error is given. On POSIX the path goes to the system as UTF-8.
std::FILE* OpenStdioFile(std::u16string_view path, const char* mode, int* error);

// The size in bytes of the regular file behind stream, or -1 when the stream is not a regular
// file (a pipe, a device) or the size is unknown. Use it as a hint only: some files (those of
// /proc) report 0 and still hold text.
long long StdioFileSize(std::FILE* stream);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_STDIO_FILE_H
