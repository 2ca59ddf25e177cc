#ifndef UTIL_PLATFORM_STDIO_FILE_H
#define UTIL_PLATFORM_STDIO_FILE_H

// C runtime streams on wide-character paths: the one thing the standard C library cannot do
// portably is open a file by a UTF-16 name. After the open, a stream is used with plain
// standard C (fread, fwrite, fseek, ferror, feof, fflush, fclose).
//
// Streams meet the same rules as the handles of file.h:
//   - Share modes. A stream holds the access its mode gives ("r": read; "w", "a": write; "+":
//     both) and lets other openers read the file, never write it. So while a file is open
//     through a stream, a handle or a stream that wants to write it is refused, and a stream
//     that wants to write a file held by a handle or another stream is refused, before anything
//     is truncated. Windows: _wfsopen with _SH_DENYWR (a refusal reports EACCES). POSIX note:
//     the stream is registered with the handle layer's share registry for as long as it is
//     open (fclose releases it); a refusal reports EBUSY.
//   - Folders. A folder fails at the open, whatever the mode (POSIX EISDIR, Windows EACCES),
//     so no read or write on a folder ever starts.
//   - Files only. A FIFO, a pipe or a device (on Windows a reserved name: NUL, CON, AUX, COM1,
//     ... in any folder, with any extension) fails at the open with EINVAL, since a read from
//     some of them waits without end. This holds for OpenRuntimeStream too.
//   - Symbolic links. A mode that writes ("w", "a" or "+") does not follow a symbolic link as
//     the last element of the path: the open fails and nothing is written through the link.
//     POSIX note: O_NOFOLLOW, errno ELOOP. Windows: creating a link needs a privilege other
//     users lack; the backend may follow.
//   - A file the open creates gets the permissions the user's umask allows (POSIX: 0666 before
//     the umask), as fopen would give.
//   - Faults injected with the ...ForTesting functions of file.h reach streams too.

#include <cstddef>
#include <cstdio>
#include <string_view>

namespace util_platform {

// Opens the file at path with a standard fopen mode ("rb", "wb", "ab", "r+b", ...). On failure
// answers null and stores the C runtime's error number (ENOENT, EACCES, EISDIR, ELOOP, EBUSY,
// EINVAL, ...) in *error when error is given. On POSIX the path goes to the system as UTF-8.
std::FILE* OpenStdioFile(std::u16string_view path, const char* mode, int* error);

// Reads up to count bytes from stream (fread) and stores the number read in *got. Answers false
// when the stream reports an error (the C runtime's error number is then in *error, never 0);
// a short read at the end of the file is a success. Reads through it meet the faults of
// FailReadsForTesting on every platform.
bool ReadStdioFile(std::FILE* stream, void* buffer, std::size_t count, std::size_t* got,
                   int* error);

// The size in bytes of the regular file behind stream, or -1 when the stream is not a regular
// file (a pipe, a device) or the size is unknown. Use it as a hint only: some files (those of
// /proc) report 0 and still hold text.
long long StdioFileSize(std::FILE* stream);

#if defined(_WIN32)
// The C runtime's own stream, opened by _wfopen_s with mode exactly as given: "r", "w+",
// "r, ccs=UTF-8", "a, ccs=UTF-16LE", ... The runtime checks the mode (EINVAL for one it does not
// know), decodes and encodes in its text modes and applies its own share rules (under Wine the
// file stays open to every other opener). Faults of FailOpensForTesting apply. On failure answers
// null with the runtime's error number in *error (never 0).
std::FILE* OpenRuntimeStream(std::u16string_view path, std::u16string_view mode, int* error);

// fread of up to count wide characters from a stream opened with a "ccs=" mode; *got tells how
// many. Answers false when the stream reports an error, with its error number in *error (never
// 0); a count beyond what was asked, which the runtime gives for a conversion it could not make
// (a file ending in the first byte of a UTF-8 sequence, a Ctrl-Z at the start of a read under
// Wine), is such an error too, with nothing read. Faults of FailReadsForTesting apply.
bool ReadRuntimeUnits(std::FILE* stream, char16_t* buffer, std::size_t count, std::size_t* got,
                      int* error);
#endif

}  // namespace util_platform

#endif  // UTIL_PLATFORM_STDIO_FILE_H
