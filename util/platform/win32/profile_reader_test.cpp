// The portable settings-file reader (the one every POSIX build uses) beside the system's own
// profile API, on the same files and the same questions. Every answer must be equal, length and
// buffer contents alike, except the differences listed below with their reasons; a listed
// difference pins both answers, so a change on either side shows.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "util/base/utf.h"
#include "util/platform/profile.h"
#include "util/platform/profile_reader.h"
#include "util/testing/scratch_dir.h"

namespace {

// A question: "section" asks for the section's list, "section|key" for one key's value.
struct SettingsFile {
    const char* name;
    std::string bytes;
    std::vector<std::u16string> questions;
    bool onDisk = true;  // false: the file does not exist (the portable reader gets no bytes)
};

const std::vector<SettingsFile> kCorpus = {
    {"plain",
     "[Common]\r\nDefaultLanguage=ja\r\nkey = value \r\n  spaced key  =  v w  \r\n",
     {u"COMMON", u"Other", u" Common ", u"Common|DefaultLanguage", u"common|KEY",
      u"Common|spaced key", u"Common|missing", u"Other|key"}},
    {"quotes",
     "[Q]\nk1=\"a b\"\nk2='x\"\nk3=\"\nk4=''\nk5=\" padded \"\nk6=\"a\"b\"\nk7='q'\n",
     {u"Q", u"Q|k1", u"Q|k2", u"Q|k3", u"Q|k4", u"Q|k5", u"Q|k6", u"Q|k7"}},
    {"comments",
     "[C]\n; comment\n  ;indented=1\n#hash=1\nk=v ; trailing\n\n   \nlast\n",
     {u"C", u"C|#hash", u"C|k", u"C|;indented", u"C|last"}},
    {"duplicates", "[A]\na=1\na=3\n[B]\nb=1\n[a]\na=2\nc=4\n", {u"A", u"B", u"a", u"A|a", u"a|c"}},
    {"utf-8 mark", "\xEF\xBB\xBF[Sec]\nname=gr\xC3\xBC\xC3\x9F\n", {u"Sec|name"}},
    {"utf-16le mark",
     std::string("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xE4\0\r\0\n\0", 22),
     {u"S", u"S|k"}},
    {"utf-16be mark",
     std::string("\xFE\xFF\0[\0S\0]\0\r\0\n\0k\0=\0\xE4\0\r\0\n", 22),
     {u"S", u"S|k"}},
    {"ansi", "[A]\nk=\xE4\xFC\n", {u"A", u"A|k"}},
    {"cr-only lines", "[S]\ra=1\rb=2\r[T]\rc=3\r", {u"S", u"T", u"S|b"}},
    {"empty values", "[E]\nk=\nflag\n=v\n  =  \nz = \n", {u"E", u"E|k", u"E|z"}},
    {"before the first header", "top=1\nalso\n[S]\na=2\n", {u"", u"S", u"|top"}},
    {"headers",
     "[  Spaced  ]\na=1\n[C\nb=2\n[x]y]\nc=3\n\t[Tab]\t\nd=4\n",
     {u"Spaced", u"x]y", u"x", u"Tab|d"}},
    {"equals in values", "[V]\nk=a=b\nk2 = x = y\n", {u"V|k", u"V|k2"}},
    {"empty file", "", {u"", u"S", u"S|k"}},
    {"missing file", "", {u"S", u"S|k"}, false},
};

// One answer, shown as "count:text": the buffer up to the part the count covers and the zero
// after it, each zero shown as '|' (where else a cut list holds zeros is not compared: the
// system leaves the last unit of the buffer alone, the portable reader sets it too).
std::string Ask(bool system, const std::u16string& path, const std::string& bytes,
                const std::u16string& question, uint32_t size) {
    using namespace util_platform;
    const size_t bar = question.find(u'|');
    const std::u16string section = question.substr(0, bar);
    std::u16string buffer(size, 0x7777);
    char16_t* const out = &buffer[0];
    const std::u16string key = bar == std::u16string::npos ? u"" : question.substr(bar + 1);
    const uint32_t count =
        bar == std::u16string::npos
            ? (system ? ReadProfileSection(path, section, out, size)
                      : ReadProfileSectionText(bytes, section, out, size))
            : (system ? ReadProfileString(path, section, key, u"dflt", out, size)
                      : ReadProfileStringText(bytes, section, key, u"dflt", out, size));
    std::string shown = std::to_string(count) + ":";
    for (char16_t unit : buffer.substr(0, count + 1 < size ? count + 1 : size))
        shown += unit == 0 ? std::string("|") : util_base::Utf16ToUtf8(std::u16string(1, unit));
    return shown;
}

// The known differences: the question asked ("file question size N") and both answers, the
// system's first. A question whose answers differ at full size (4096) is not asked again with a
// short buffer. Why each differs is said above it.
const std::map<std::string, std::string> kDifferences = {
    // The system rebuilds each section entry as key=value from the parsed line, dropping the
    // blanks around the first '=' (and an entry that is only '='); the portable reader gives
    // the trimmed line. Splitting at the first '=' and trimming both sides, as the
    // settings-file service does, gives the same pairs from either.
    {"plain COMMON size 4096",
     "44:DefaultLanguage=ja|key=value|spaced key=v w|| / "
     "50:DefaultLanguage=ja|key = value|spaced key  =  v w||"},
    {"empty values E size 4096", "14:k=|flag|=v|z=|| / 17:k=|flag|=v|=|z =||"},
    // The system trims section names in the file but not the name asked for; the portable
    // reader trims both, so an asked-for name with blanks around it is still found.
    {"plain  Common  size 4096", "0:| / 50:DefaultLanguage=ja|key = value|spaced key  =  v w||"},
    // The system takes a ';' line that starts after blanks as an entry when a key is asked
    // for; the portable reader takes every line whose first non-blank character is ';' as a
    // comment.
    {"comments C|;indented size 4096", "1:1| / 4:dflt|"},
    // For a line without '=' the system answers the fallback text, the portable reader the
    // empty value; the settings-file service asks with an empty fallback, so it reads both
    // as empty.
    {"comments C|last size 4096", "4:dflt| / 0:|"},
    // A section list that fills the buffer exactly (entries, their zeros and the final zero)
    // is answered by the system as cut (size - 2); the portable reader answers it whole. The
    // settings-file service then only retries with a larger buffer and reads the same
    // entries.
    {"ansi A size 6", "4:k=\u00E4\u00FC| / 5:k=\u00E4\u00FC||"},
};

TEST(ProfileReaderBesideSystemTest, EveryAnswerAgreesOrIsAListedDifference) {
    util_testing::ScratchDir scratch;
    const std::u16string path = scratch.Wide("settings.ini").GetString();
    size_t differencesSeen = 0, questions = 0;
    for (const SettingsFile& file : kCorpus) {
        std::filesystem::remove(scratch.path() / "settings.ini");
        if (file.onDisk) scratch.WriteFile("settings.ini", file.bytes);
        for (const std::u16string& q : file.questions) {
            const std::string asked = file.name + (" " + util_base::Utf16ToUtf8(q)) + " size ";
            const bool section = q.find(u'|') == std::u16string::npos;
            for (uint32_t size : section ? std::vector<uint32_t>{4096, 2, 3, 6, 7}
                                         : std::vector<uint32_t>{4096, 1, 2, 3, 4}) {
                SCOPED_TRACE(asked + std::to_string(size));
                if (size != 4096 && kDifferences.count(asked + "4096")) continue;
                ++questions;
                const std::string system = Ask(true, path, file.bytes, q, size);
                const auto known = kDifferences.find(asked + std::to_string(size));
                differencesSeen += known != kDifferences.end();
                EXPECT_EQ(system + " / " + Ask(false, path, file.bytes, q, size),
                          known != kDifferences.end() ? known->second : system + " / " + system);
            }
        }
    }
    // Every listed difference was met: the list holds no entry that no longer applies.
    EXPECT_EQ(differencesSeen, kDifferences.size());
    EXPECT_GT(questions, 200u);
}

}  // namespace
