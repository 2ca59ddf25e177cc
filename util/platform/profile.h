#ifndef UTIL_PLATFORM_PROFILE_H
#define UTIL_PLATFORM_PROFILE_H

// Reading settings ("profile") files of the INI kind: the two queries the settings-file service
// is built on. They behave as users of such files on Windows know them, so one file reads the
// same on every platform:
//
//   - Lines end at CR LF, LF or a lone CR (a zero character also ends a line, since the section
//     list below uses it as its separator).
//   - A section header is a line whose first non-blank character is "[" that holds a "]"; the
//     name runs up to the last "]" on the line. "[C" without "]" is an ordinary line.
//   - Section and key names are matched without regard to the case of ASCII letters.
//   - Only the first section of a name is read; later sections of the same name are neither
//     merged nor searched. The lines before the first header form a section named "".
//   - A line whose first non-blank character is ";" is a comment ("#" is not, and a ";" later
//     in a line belongs to the value). Blank lines are skipped.
//   - ASCII white space (space, tab, vertical tab, form feed) is trimmed around section names,
//     keys, values and whole lines.
//   - The file is UTF-16LE or UTF-16BE with byte-order mark, UTF-8 with byte-order mark, or
//     ANSI text (the thread's code page) without one. A missing or unreadable file reads as a
//     file without sections; so does, with the portable reader, anything but a regular file (a
//     FIFO is not waited for, a device is not read without end) and a file larger than
//     kMaxProfileBytes, so that memory stays bounded whatever the path names.
//
// Nothing is cached: each call reads the whole file once.
//
// Windows: the system's own profile API answers (GetPrivateProfileSectionW,
// GetPrivateProfileStringW), so a Windows host reads a file exactly as every other Windows
// program does. Everywhere else the portable reader of profile_reader.h gives the answers
// described here. Where the two differ in detail (the system lists an entry as key=value without
// the blanks around "=", answers the fallback for a line without "=", treats an exactly filled
// section buffer as cut, ...), win32/profile_reader_test.cpp lists each difference and why it
// does not change what the settings-file service reads.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace util_platform {

// The largest settings file the portable reader reads (256 MiB).
constexpr uint64_t kMaxProfileBytes = uint64_t{256} << 20;

// Copies the entries of `section` to buffer: each non-comment line of the section, trimmed,
// ended by a zero character, the list ended by one more zero character. Answers the number of
// characters copied without the final zero:
//   section "a = 1", "flag"  -> buffer "a = 1\0flag\0\0", answer 11
//   missing file, missing section, section without entries -> "\0", answer 0
// When the list does not fit, as much as fits is copied, the buffer ends with two zero
// characters, and the answer is size - 2. A size below 2 answers 0.
uint32_t ReadProfileSection(std::u16string_view file, std::u16string_view section, char16_t* buffer,
                            uint32_t size);

// Copies the value of the first line of `section` whose key is `key` to buffer, zero
// terminated, and answers its length. The key is the trimmed text before the first "="; a line
// without "=" is a key without value. One pair of matching double or single quotes around a
// value of at least two characters is removed:
//   key = "a b"   -> a b        key='x"  -> 'x"        key="   -> "
// When no such key exists, `fallback` is copied instead. When the text does not fit, size - 1
// characters and a zero are copied and the answer is size - 1. A size of 0 answers 0.
uint32_t ReadProfileString(std::u16string_view file, std::u16string_view section,
                           std::u16string_view key, std::u16string_view fallback, char16_t* buffer,
                           uint32_t size);

// One settings file for the length of one query that may be asked again with a larger buffer
// (the settings-file service doubles its buffer until the answer fits). The answers are those
// of ReadProfileSection and ReadProfileString above, for any buffer size.
//   POSIX: the file is read when the object is made and each answer found once; asking the
//   same question again with another buffer only copies it, so a doubling costs no new read or
//   parse of the file. The object reflects the file as it was when made.
//   Windows: every call asks the system, as any Windows program asking twice would.
class ProfileFile {
  public:
    explicit ProfileFile(std::u16string_view path);

    uint32_t ReadSection(std::u16string_view section, char16_t* buffer, uint32_t size);

    // Hands each entry of the section's list (what ReadSection copies, zeros left out) to
    // visit, in order, once the whole list is known, and answers whether there was one:
    //   section "a = 1", "flag"  -> visit("a = 1"), visit("flag"), true
    //   missing file or section, section without entries -> no visit, false
    // Windows: the list is read as any Windows program reads it, into a buffer of firstSize
    // characters that is doubled while the list does not fit (the system's answer size - 2);
    // a list that does not fit 2^30 characters answers false with no visit.
    // POSIX: the entries are handed over as the one parse of the file finds them; no list and
    // no buffer is made, and no list fails to fit (a file holds at most kMaxProfileBytes).
    bool VisitSection(std::u16string_view section, uint32_t firstSize,
                      const std::function<void(std::u16string_view entry)>& visit);
    uint32_t ReadString(std::u16string_view section, std::u16string_view key,
                        std::u16string_view fallback, char16_t* buffer, uint32_t size);

  private:
    std::u16string path_;
    std::string bytes_;  // POSIX: the file's content
    // POSIX: the last question and its whole answer (a section list with its zeros, or a value).
    bool haveAnswer_ = false, answerIsSection_ = false;
    std::u16string section_, key_, fallback_, answer_;
};

}  // namespace util_platform

#endif  // UTIL_PLATFORM_PROFILE_H
