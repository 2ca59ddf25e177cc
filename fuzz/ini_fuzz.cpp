// Arbitrary bytes as a settings file. Besides not crashing, the two readers must agree: every
// pair that GetKeyValues lists is found by GetString with the same value, as long as its key
// occurs once in the section and its value carries no quotes that GetString would remove.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "util/files/inifile.h"
#include "util/platform/profile.h"
#include "util/platform/unicode.h"

namespace {

const std::string& FilePath() {
    static const std::string path = "/tmp/ini_fuzz_" + std::to_string(getpid()) + ".ini";
    return path;
}

bool EqualNoCaseAscii(const CString& a, const CString& b) {
    CString x(a), y(b);
    for (int i = 0; i < x.GetLength(); ++i)
        if (x[i] >= u'A' && x[i] <= u'Z') x.SetAt(i, static_cast<char16_t>(x[i] + 32));
    for (int i = 0; i < y.GetLength(); ++i)
        if (y[i] >= u'A' && y[i] <= u'Z') y.SetAt(i, static_cast<char16_t>(y[i] + 32));
    return x == y;
}

// Entries whose text has white space that only the wider trim of the map knows are left out:
// the two readers trim different sets of characters there by design.
bool HasNonAsciiSpace(std::u16string_view text) {
    for (char16_t ch : text)
        if (ch >= 0x80 && util_platform::IsSpaceUnit(ch)) return true;
    return false;
}

void CheckSection(const CString& file, const CString& section) {
    KeyValueMap values;
    if (!common::sdk::inifile::GetKeyValues(file, section, &values)) return;
    std::vector<char16_t> list(4096 + 2 * 65536);
    uint32_t n = util_platform::ReadProfileSection(file.View(), section.View(), list.data(),
                                                   static_cast<uint32_t>(list.size()));
    std::vector<CString> keys;
    for (size_t start = 0; start < n;) {
        std::u16string_view entry(list.data() + start);
        start += entry.size() + 1;
        if (HasNonAsciiSpace(entry)) return;
        CString key(entry.substr(0, entry.find(u'=')));
        keys.push_back(key.Trim());
    }
    for (const auto& [key, value] : values) {
        int occurrences = 0;
        for (const CString& k : keys) occurrences += EqualNoCaseAscii(k, key) ? 1 : 0;
        if (occurrences != 1) continue;
        const int length = value.GetLength();
        if (length >= 2 && value[0] == value[length - 1] && (value[0] == u'"' || value[0] == u'\''))
            continue;
        CString found(u"unset");
        if (!common::sdk::inifile::GetString(file, section, key, &found)) abort();
        if (found != value) {
            std::fprintf(stderr, "key '%s': map '%s', GetString '%s'\n", key.ToUtf8().c_str(),
                         value.ToUtf8().c_str(), found.ToUtf8().c_str());
            abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    std::FILE* out = std::fopen(FilePath().c_str(), "wb");
    if (!out) return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);
    const CString file = CString::FromUtf8(FilePath());

    std::string bytes(reinterpret_cast<const char*>(data), size);
    CheckSection(file, u"");
    size_t open = bytes.find('[');
    size_t close = bytes.find(']', open == std::string::npos ? 0 : open);
    if (open != std::string::npos && close != std::string::npos)
        CheckSection(file, CString::FromUtf8(bytes.substr(open + 1, close - open - 1)));
    return 0;
}
