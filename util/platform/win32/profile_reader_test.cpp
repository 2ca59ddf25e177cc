// The portable settings-file reader (the one every POSIX build uses) beside the system's own
// profile API, on the same files and the same questions. Every answer must be equal, length and
// buffer contents alike, except the differences listed below with their reasons; a listed
// difference pins both answers, so a change on either side shows.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/base/utf.h"
#include "util/platform/profile.h"
#include "util/platform/profile_reader.h"
#include "util/testing/scratch_dir.h"

namespace {

using util_platform::ReadProfileSection;
using util_platform::ReadProfileSectionText;
using util_platform::ReadProfileString;
using util_platform::ReadProfileStringText;

struct SettingsFile {
    const char* name;
    std::string bytes;
    std::vector<std::u16string> sections;                         // asked with ReadProfileSection
    std::vector<std::pair<std::u16string, std::u16string>> keys;  // asked with ReadProfileString
};

const std::vector<SettingsFile>& Corpus() {
    static const std::vector<SettingsFile> corpus = {
        {"plain",
         "[Common]\r\nDefaultLanguage=ja\r\nkey = value \r\n  spaced key  =  v w  \r\n",
         {u"Common", u"COMMON", u"Other", u" Common "},
         {{u"Common", u"DefaultLanguage"},
          {u"common", u"KEY"},
          {u"Common", u"spaced key"},
          {u"Common", u"missing"},
          {u"Other", u"key"}}},
        {"quotes",
         "[Q]\nk1=\"a b\"\nk2='x\"\nk3=\"\nk4=''\nk5=\" padded \"\nk6=\"a\"b\"\nk7='q'\n",
         {u"Q"},
         {{u"Q", u"k1"},
          {u"Q", u"k2"},
          {u"Q", u"k3"},
          {u"Q", u"k4"},
          {u"Q", u"k5"},
          {u"Q", u"k6"},
          {u"Q", u"k7"}}},
        {"comments",
         "[C]\n; comment\n  ;indented=1\n#hash=1\nk=v ; trailing\n\n   \nlast\n",
         {u"C"},
         {{u"C", u"#hash"}, {u"C", u"k"}, {u"C", u";indented"}, {u"C", u"last"}}},
        {"duplicates",
         "[A]\na=1\na=3\n[B]\nb=1\n[a]\na=2\nc=4\n",
         {u"A", u"B", u"a"},
         {{u"A", u"a"}, {u"a", u"c"}, {u"B", u"b"}}},
        {"utf-8 mark",
         "\xEF\xBB\xBF[Sec]\nname=gr\xC3\xBC\xC3\x9F\n",
         {u"Sec"},
         {{u"Sec", u"name"}}},
        {"utf-16le mark",
         std::string("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xE4\0\r\0\n\0", 22),
         {u"S"},
         {{u"S", u"k"}}},
        {"utf-16be mark",
         std::string("\xFE\xFF\0[\0S\0]\0\r\0\n\0k\0=\0\xE4\0\r\0\n", 22),
         {u"S"},
         {{u"S", u"k"}}},
        {"ansi", "[A]\nk=\xE4\xFC\n", {u"A"}, {{u"A", u"k"}}},
        {"cr-only lines", "[S]\ra=1\rb=2\r[T]\rc=3\r", {u"S", u"T"}, {{u"S", u"b"}, {u"T", u"c"}}},
        {"empty values",
         "[E]\nk=\nflag\n=v\n  =  \nz = \n",
         {u"E"},
         {{u"E", u"k"}, {u"E", u"flag"}, {u"E", u"z"}}},
        {"before the first header",
         "top=1\nalso\n[S]\na=2\n",
         {u"", u"S"},
         {{u"", u"top"}, {u"S", u"a"}}},
        {"headers",
         "[  Spaced  ]\na=1\n[C\nb=2\n[x]y]\nc=3\n\t[Tab]\t\nd=4\n",
         {u"Spaced", u"x]y", u"x", u"Tab"},
         {{u"Spaced", u"a"}, {u"Spaced", u"[C"}, {u"x]y", u"c"}, {u"Tab", u"d"}}},
        {"equals in values", "[V]\nk=a=b\nk2 = x = y\n", {u"V"}, {{u"V", u"k"}, {u"V", u"k2"}}},
        {"empty file", "", {u"", u"S"}, {{u"S", u"k"}}},
    };
    return corpus;
}

// One answer: the count and the buffer up to the part the count covers (plus its terminator).
struct Answer {
    uint32_t count;
    std::u16string text;
    bool operator==(const Answer& other) const {
        return count == other.count && text == other.text;
    }
};

std::string Show(const Answer& answer) {
    std::string shown = std::to_string(answer.count) + " \"";
    for (char16_t unit : answer.text)
        shown += unit == 0 ? std::string("\\0") : util_base::Utf16ToUtf8(std::u16string(1, unit));
    return shown + "\"";
}

constexpr char16_t kUntouched = 0x7777;

// The units of a literal, its embedded zeros included (not its own terminator).
template <size_t N>
std::u16string Z(const char16_t (&literal)[N]) {
    return std::u16string(literal, N - 1);
}

Answer SectionAnswer(bool system, const std::u16string& path, const std::string& bytes,
                     const std::u16string& section, uint32_t size) {
    std::u16string buffer(size, kUntouched);
    const uint32_t count = system ? ReadProfileSection(path, section, &buffer[0], size)
                                  : ReadProfileSectionText(bytes, section, &buffer[0], size);
    // The units the answer covers and the zero after them: a whole list's final zero, or the
    // zero that ends a cut one. (Where else a cut list holds zeros is not compared: the system
    // leaves the last unit of the buffer alone, the portable reader sets it too.)
    const size_t covered = count + 1 < size ? count + 1 : size;
    return {count, buffer.substr(0, covered)};
}

Answer StringAnswer(bool system, const std::u16string& path, const std::string& bytes,
                    const std::u16string& section, const std::u16string& key, uint32_t size) {
    std::u16string buffer(size, kUntouched);
    const uint32_t count =
        system ? ReadProfileString(path, section, key, u"dflt", &buffer[0], size)
               : ReadProfileStringText(bytes, section, key, u"dflt", &buffer[0], size);
    return {count, buffer.substr(0, count < size ? count + 1 : size)};
}

// A known difference: the question, the system's answer and ours, and why they differ.
struct Difference {
    const char* file;
    std::u16string section;
    std::u16string key;  // empty: a section question
    uint32_t size;
    Answer system;
    Answer portable;
    const char* reason;
};

const char* const kEntryRebuilt =
    "the system rebuilds each section entry as key=value from the parsed line, dropping the "
    "blanks around the first '=' (and an entry that is only '='); the portable reader gives the "
    "trimmed line. Splitting at the first '=' and trimming both sides, as the settings-file "
    "service does, gives the same pairs from either";
const char* const kQueryNameUntrimmed =
    "the system trims section names in the file but not the name asked for; the portable reader "
    "trims both, so an asked-for name with blanks around it is still found";
const char* const kIndentedComment =
    "the system takes a ';' line that starts after blanks as an entry when a key is asked for; "
    "the portable reader takes every line whose first non-blank character is ';' as a comment";
const char* const kKeyWithoutValue =
    "for a line without '=' the system answers the fallback text, the portable reader the empty "
    "value; the settings-file service asks with an empty fallback, so it reads both as empty";
const char* const kExactFit =
    "a section list that fills the buffer exactly (entries, their zeros and the final zero) is "
    "answered by the system as cut (size - 2); the portable reader answers it whole. The "
    "settings-file service then only retries with a larger buffer and reads the same entries";

const std::vector<Difference>& KnownDifferences() {
    static const std::vector<Difference> differences = {
        {"plain",
         u"Common",
         u"",
         4096,
         {44, Z(u"DefaultLanguage=ja\0key=value\0spaced key=v w\0\0")},
         {50, Z(u"DefaultLanguage=ja\0key = value\0spaced key  =  v w\0\0")},
         kEntryRebuilt},
        {"plain",
         u"COMMON",
         u"",
         4096,
         {44, Z(u"DefaultLanguage=ja\0key=value\0spaced key=v w\0\0")},
         {50, Z(u"DefaultLanguage=ja\0key = value\0spaced key  =  v w\0\0")},
         kEntryRebuilt},
        {"plain",
         u" Common ",
         u"",
         4096,
         {0, Z(u"\0")},
         {50, Z(u"DefaultLanguage=ja\0key = value\0spaced key  =  v w\0\0")},
         kQueryNameUntrimmed},
        {"plain", u" Common ", u"", 3, {0, Z(u"\0")}, {1, Z(u"D\0")}, kQueryNameUntrimmed},
        {"plain", u" Common ", u"", 5, {0, Z(u"\0")}, {3, Z(u"Def\0")}, kQueryNameUntrimmed},
        {"plain", u" Common ", u"", 7, {0, Z(u"\0")}, {5, Z(u"Defau\0")}, kQueryNameUntrimmed},
        {"comments", u"C", u";indented", 4096, {1, Z(u"1\0")}, {4, Z(u"dflt\0")}, kIndentedComment},
        {"comments", u"C", u";indented", 3, {1, Z(u"1\0")}, {2, Z(u"df\0")}, kIndentedComment},
        {"comments", u"C", u"last", 4096, {4, Z(u"dflt\0")}, {0, Z(u"\0")}, kKeyWithoutValue},
        {"comments", u"C", u"last", 3, {2, Z(u"df\0")}, {0, Z(u"\0")}, kKeyWithoutValue},
        {"empty values", u"E", u"flag", 4096, {4, Z(u"dflt\0")}, {0, Z(u"\0")}, kKeyWithoutValue},
        {"empty values", u"E", u"flag", 3, {2, Z(u"df\0")}, {0, Z(u"\0")}, kKeyWithoutValue},
        {"empty values",
         u"E",
         u"",
         4096,
         {14, Z(u"k=\0flag\0=v\0z=\0\0")},
         {17, Z(u"k=\0flag\0=v\0=\0z =\0\0")},
         kEntryRebuilt},
        {"headers", u"Spaced", u"[C", 4096, {4, Z(u"dflt\0")}, {0, Z(u"\0")}, kKeyWithoutValue},
        {"headers", u"Spaced", u"[C", 3, {2, Z(u"df\0")}, {0, Z(u"\0")}, kKeyWithoutValue},
        {"equals in values",
         u"V",
         u"",
         4096,
         {15, Z(u"k=a=b\0k2=x = y\0\0")},
         {17, Z(u"k=a=b\0k2 = x = y\0\0")},
         kEntryRebuilt},
        {"comments", u"C", u";indented", 2, {1, Z(u"1\0")}, {1, Z(u"d\0")}, kIndentedComment},
        {"comments", u"C", u";indented", 4, {1, Z(u"1\0")}, {3, Z(u"dfl\0")}, kIndentedComment},
        {"comments", u"C", u"last", 2, {1, Z(u"d\0")}, {0, Z(u"\0")}, kKeyWithoutValue},
        {"comments", u"C", u"last", 4, {3, Z(u"dfl\0")}, {0, Z(u"\0")}, kKeyWithoutValue},
        {"empty values", u"E", u"flag", 2, {1, Z(u"d\0")}, {0, Z(u"\0")}, kKeyWithoutValue},
        {"empty values", u"E", u"flag", 4, {3, Z(u"dfl\0")}, {0, Z(u"\0")}, kKeyWithoutValue},
        {"headers", u"Spaced", u"[C", 2, {1, Z(u"d\0")}, {0, Z(u"\0")}, kKeyWithoutValue},
        {"headers", u"Spaced", u"[C", 4, {3, Z(u"dfl\0")}, {0, Z(u"\0")}, kKeyWithoutValue},
        {"duplicates", u"B", u"", 5, {3, Z(u"b=1\0")}, {4, Z(u"b=1\0\0")}, kExactFit},
        {"utf-16le mark", u"S", u"", 5, {3, Z(u"k=\u00E4\0")}, {4, Z(u"k=\u00E4\0\0")}, kExactFit},
        {"utf-16be mark", u"S", u"", 5, {3, Z(u"k=\u00E4\0")}, {4, Z(u"k=\u00E4\0\0")}, kExactFit},
        {"cr-only lines", u"T", u"", 5, {3, Z(u"c=3\0")}, {4, Z(u"c=3\0\0")}, kExactFit},
        {"before the first header", u"S", u"", 5, {3, Z(u"a=2\0")}, {4, Z(u"a=2\0\0")}, kExactFit},
        {"headers", u"x]y", u"", 5, {3, Z(u"c=3\0")}, {4, Z(u"c=3\0\0")}, kExactFit},
        {"headers", u"Tab", u"", 5, {3, Z(u"d=4\0")}, {4, Z(u"d=4\0\0")}, kExactFit},
    };
    return differences;
}

const Difference* FindDifference(const char* file, const std::u16string& section,
                                 const std::u16string& key, uint32_t size) {
    for (const Difference& d : KnownDifferences())
        if (std::string(d.file) == file && d.section == section && d.key == key && d.size == size)
            return &d;
    return nullptr;
}

// Compares one question; answers whether it was a listed difference.
bool Compare(const char* file, const std::u16string& section, const std::u16string& key,
             uint32_t size, const Answer& system, const Answer& portable) {
    SCOPED_TRACE(std::string(file) + " [" + util_base::Utf16ToUtf8(section) + "] " +
                 util_base::Utf16ToUtf8(key) + " size " + std::to_string(size));
    if (const Difference* known = FindDifference(file, section, key, size)) {
        EXPECT_EQ(system, known->system) << Show(system) << " (" << known->reason << ")";
        EXPECT_EQ(portable, known->portable) << Show(portable) << " (" << known->reason << ")";
        return true;
    }
    EXPECT_EQ(system, portable) << "system " << Show(system) << ", portable " << Show(portable);
    return false;
}

TEST(ProfileReaderBesideSystemTest, EveryAnswerAgreesOrIsAListedDifference) {
    util_testing::ScratchDir scratch;
    const std::u16string path = scratch.Wide("settings.ini").GetString();
    size_t differencesSeen = 0, questions = 0;
    for (const SettingsFile& file : Corpus()) {
        scratch.WriteFile("settings.ini", file.bytes);
        for (const std::u16string& section : file.sections) {
            for (uint32_t size : {4096u, 2u, 3u, 5u, 7u}) {
                ++questions;
                differencesSeen += Compare(file.name, section, u"", size,
                                           SectionAnswer(true, path, file.bytes, section, size),
                                           SectionAnswer(false, path, file.bytes, section, size));
            }
        }
        for (const auto& [section, key] : file.keys) {
            for (uint32_t size : {4096u, 1u, 2u, 3u, 4u}) {
                ++questions;
                differencesSeen +=
                    Compare(file.name, section, key, size,
                            StringAnswer(true, path, file.bytes, section, key, size),
                            StringAnswer(false, path, file.bytes, section, key, size));
            }
        }
    }
    // Every listed difference was met: the list holds no entry that no longer applies.
    EXPECT_EQ(differencesSeen, KnownDifferences().size());
    EXPECT_GT(questions, 200u);
}

// A file that does not exist reads as a file without sections on both sides.
TEST(ProfileReaderBesideSystemTest, MissingFileReadsAsEmpty) {
    util_testing::ScratchDir scratch;
    const std::u16string path = scratch.Wide("absent.ini").GetString();
    EXPECT_EQ(SectionAnswer(true, path, "", u"S", 64), SectionAnswer(false, path, "", u"S", 64));
    EXPECT_EQ(StringAnswer(true, path, "", u"S", u"k", 64),
              StringAnswer(false, path, "", u"S", u"k", 64));
    EXPECT_EQ(StringAnswer(true, path, "", u"S", u"k", 64).text, Z(u"dflt\0"));
}

}  // namespace
