#include "util/platform/profile_reader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "util/base/utf.h"
#include "util/platform/codepage.h"

namespace util_platform {
namespace {

// The file's text as a sequence of code units: bytes for UTF-8 and ANSI files, 16-bit units
// for UTF-16 ones. Every character the line structure depends on (line ends, blanks, "[", "]",
// ";") is ASCII, so lines are found on the units and only the lines a query needs are decoded.
class UnitText {
  public:
    explicit UnitText(std::string_view bytes) : bytes_(bytes) {
        auto starts = [&](std::string_view mark) { return bytes_.substr(0, mark.size()) == mark; };
        if (starts("\xFF\xFE"))
            kind_ = kUtf16Le, begin_ = 2;
        else if (starts("\xFE\xFF"))
            kind_ = kUtf16Be, begin_ = 2;
        else if (starts("\xEF\xBB\xBF"))
            kind_ = kUtf8, begin_ = 3;
        else
            kind_ = kAnsi, begin_ = 0;
        width_ = kind_ == kUtf16Le || kind_ == kUtf16Be ? 2 : 1;
        // An odd trailing byte of a UTF-16 file stands as one unit of its own.
        count_ = (bytes_.size() - begin_ + width_ - 1) / width_;
    }

    size_t size() const { return count_; }

    char16_t operator[](size_t i) const {
        const size_t at = begin_ + i * width_;
        const auto b0 = static_cast<unsigned char>(bytes_[at]);
        if (width_ == 1) return b0;
        if (at + 1 >= bytes_.size()) return util_base::kReplacementChar;
        const auto b1 = static_cast<unsigned char>(bytes_[at + 1]);
        return static_cast<char16_t>(kind_ == kUtf16Le ? (b0 | b1 << 8) : (b1 | b0 << 8));
    }

    // Units [first, last) as UTF-16 text, into out (replacing what it held, keeping its room).
    // An ANSI line of ASCII bytes is widened byte by byte when the code page reads ASCII as
    // itself (checked once per file): converting each line through the code page's converter
    // would cost more than the rest of the parse.
    void Decode(size_t first, size_t last, std::u16string* out) const {
        out->clear();
        if (width_ == 1) {
            const std::string_view raw(bytes_.data() + begin_ + first, last - first);
            if (kind_ == kUtf8)
                util_base::AppendUtf8AsUtf16(*out, raw);
            else if (IsAscii(raw) && AnsiKeepsAscii())
                out->assign(raw.begin(), raw.end());
            else
                *out = WideFromAnsi(raw);
            return;
        }
        out->reserve(last - first);
        for (size_t i = first; i < last; ++i) out->push_back((*this)[i]);
    }

  private:
    static bool IsAscii(std::string_view raw) {
        for (char c : raw)
            if (static_cast<unsigned char>(c) >= 0x80) return false;
        return true;
    }
    bool AnsiKeepsAscii() const {
        if (ansiKeepsAscii_ < 0) {
            std::string ascii;
            for (int c = 1; c < 0x80; ++c) ascii.push_back(static_cast<char>(c));
            const std::u16string wide = WideFromAnsi(ascii);
            ansiKeepsAscii_ = std::equal(ascii.begin(), ascii.end(), wide.begin(), wide.end());
        }
        return ansiKeepsAscii_ != 0;
    }

    enum Kind { kAnsi, kUtf8, kUtf16Le, kUtf16Be };
    std::string_view bytes_;
    Kind kind_;
    size_t begin_, width_, count_;
    mutable int ansiKeepsAscii_ = -1;  // unknown until an ASCII line of an ANSI file asks
};

bool IsBlank(char16_t ch) {
    return ch == u' ' || ch == u'\t' || ch == u'\v' || ch == u'\f';
}

std::u16string_view TrimBlanks(std::u16string_view text) {
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

bool EqualNoCaseAscii(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x + 32);
        if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// Calls visit(line) with each trimmed entry line of the first section named `wanted`, until
// visit answers false or the section ends.
template <class Visit>
void ForEachEntry(const UnitText& text, std::u16string_view wanted, Visit visit) {
    wanted = TrimBlanks(wanted);
    // The lines before the first header form the section with the empty name.
    bool inWanted = wanted.empty();
    bool seenWanted = inWanted;
    const size_t size = text.size();
    std::u16string decoded;  // one line at a time, in one buffer
    size_t pos = 0;
    while (pos < size) {
        size_t first = pos;
        while (first < size && IsBlank(text[first])) ++first;
        size_t end = first;
        char16_t ch = 0;
        while (end < size && (ch = text[end]) != u'\r' && ch != u'\n' && ch != 0) ++end;
        pos = end + 1;
        if (ch == u'\r' && pos < size && text[pos] == u'\n') ++pos;

        if (first == end || text[first] == u';') continue;  // blank line or comment
        const bool header = text[first] == u'[';
        if (!header && !inWanted) continue;  // not needed: left undecoded
        text.Decode(first, end, &decoded);
        const std::u16string_view line = TrimBlanks(decoded);
        if (line.empty()) continue;
        if (header) {
            size_t close = line.rfind(u']');
            if (close != std::u16string_view::npos) {
                if (inWanted) return;  // the first section of that name has ended
                if (!seenWanted && EqualNoCaseAscii(TrimBlanks(line.substr(1, close - 1)), wanted))
                    inWanted = seenWanted = true;
                continue;
            }
            if (!inWanted) continue;
        }
        if (!visit(line)) return;
    }
}

// Copies text and a zero into buffer, cut to size - 1 characters; answers the length copied.
uint32_t CopyTerminated(std::u16string_view text, char16_t* buffer, uint32_t size) {
    if (size == 0 || buffer == nullptr) return 0;
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    if (n) std::memcpy(buffer, text.data(), n * sizeof(char16_t));
    buffer[n] = 0;
    return static_cast<uint32_t>(n);
}

}  // namespace

std::u16string ProfileSectionAnswer(std::string_view bytes, std::u16string_view section) {
    const UnitText text(bytes);
    std::u16string entries;
    ForEachEntry(text, section, [&](std::u16string_view line) {
        entries.append(line);
        entries.push_back(0);
        return true;
    });
    return entries;
}

void VisitProfileSection(std::string_view bytes, std::u16string_view section,
                         const EntryVisitor& visit) {
    const UnitText text(bytes);
    ForEachEntry(text, section, [&](std::u16string_view line) {
        visit(line);
        return true;
    });
}

uint32_t CopySectionAnswer(std::u16string_view entries, char16_t* buffer, uint32_t size) {
    if (buffer == nullptr || size < 2) {
        if (buffer && size) buffer[0] = 0;
        return 0;
    }
    // Room for entries: everything but the list's final zero.
    if (entries.size() <= size - 1) {
        if (!entries.empty())
            std::memcpy(buffer, entries.data(), entries.size() * sizeof(char16_t));
        buffer[entries.size()] = 0;
        return static_cast<uint32_t>(entries.size());
    }
    // The list is cut inside the entry that does not fit: it ends with two zeros.
    std::memcpy(buffer, entries.data(), (size - 2) * sizeof(char16_t));
    buffer[size - 2] = 0;
    buffer[size - 1] = 0;
    return size - 2;
}

std::u16string ProfileStringAnswer(std::string_view bytes, std::u16string_view section,
                                   std::u16string_view key, std::u16string_view fallback) {
    const UnitText text(bytes);
    key = TrimBlanks(key);
    std::u16string found;
    std::u16string_view value = fallback;
    ForEachEntry(text, section, [&](std::u16string_view line) {
        size_t equals = line.find(u'=');
        std::u16string_view lineKey = TrimBlanks(line.substr(0, equals));
        if (!EqualNoCaseAscii(lineKey, key)) return true;
        found = equals == std::u16string_view::npos
                    ? std::u16string()
                    : std::u16string(TrimBlanks(line.substr(equals + 1)));
        value = found;
        if (value.size() >= 2 && value.front() == value.back() &&
            (value.front() == u'"' || value.front() == u'\''))
            value = value.substr(1, value.size() - 2);
        return false;
    });
    return std::u16string(value);
}

uint32_t CopyStringAnswer(std::u16string_view value, char16_t* buffer, uint32_t size) {
    return CopyTerminated(value, buffer, size);
}

uint32_t ReadProfileSectionText(std::string_view bytes, std::u16string_view section,
                                char16_t* buffer, uint32_t size) {
    if (buffer == nullptr || size < 2) return CopySectionAnswer(u"", buffer, size);
    return CopySectionAnswer(ProfileSectionAnswer(bytes, section), buffer, size);
}

uint32_t ReadProfileStringText(std::string_view bytes, std::u16string_view section,
                               std::u16string_view key, std::u16string_view fallback,
                               char16_t* buffer, uint32_t size) {
    return CopyStringAnswer(ProfileStringAnswer(bytes, section, key, fallback), buffer, size);
}

}  // namespace util_platform
