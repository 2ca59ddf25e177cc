#include "util/platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "util/base/utf.h"
#include "util/platform/codepage.h"
#include "util/platform/path.h"

namespace util_platform {
namespace {

// The whole file, or "" when it cannot be opened or read (which then reads as a file without
// sections, like a missing one).
std::string ReadAllBytes(std::u16string_view path) {
    std::string bytes;
    int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        bytes.reserve(static_cast<size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) bytes.clear();
            break;
        }
        bytes.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return bytes;
}

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string text;
    text.reserve(bytes.size() / 2 + 1);
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        auto lo = static_cast<unsigned char>(bytes[i + (bigEndian ? 1 : 0)]);
        auto hi = static_cast<unsigned char>(bytes[i + (bigEndian ? 0 : 1)]);
        text.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
    if (i < bytes.size()) text.push_back(util_base::kReplacementChar);
    return text;
}

std::u16string DecodeProfileText(const std::string& bytes) {
    std::string_view view(bytes);
    auto starts = [&](std::string_view mark) { return view.substr(0, mark.size()) == mark; };
    if (starts("\xFF\xFE")) return DecodeUtf16(view.substr(2), false);
    if (starts("\xFE\xFF")) return DecodeUtf16(view.substr(2), true);
    if (starts("\xEF\xBB\xBF")) return util_base::Utf8ToUtf16(view.substr(3));
    return WideFromAnsi(view);
}

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
void ForEachEntry(std::u16string_view text, std::u16string_view wanted, Visit visit) {
    wanted = TrimBlanks(wanted);
    // The lines before the first header form the section with the empty name.
    bool inWanted = wanted.empty();
    bool seenWanted = inWanted;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = pos;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n' && text[end] != 0)
            ++end;
        std::u16string_view line = TrimBlanks(text.substr(pos, end - pos));
        pos = end + 1;
        if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n') ++pos;

        if (line.empty() || line[0] == u';') continue;
        if (line[0] == u'[') {
            size_t close = line.rfind(u']');
            if (close != std::u16string_view::npos) {
                if (inWanted) return;  // the first section of that name has ended
                if (!seenWanted && EqualNoCaseAscii(TrimBlanks(line.substr(1, close - 1)), wanted))
                    inWanted = seenWanted = true;
                continue;
            }
        }
        if (inWanted && !visit(line)) return;
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

uint32_t ReadProfileSection(std::u16string_view file, std::u16string_view section, char16_t* buffer,
                            uint32_t size) {
    if (buffer == nullptr || size < 2) {
        if (buffer && size) buffer[0] = 0;
        return 0;
    }
    std::u16string text = DecodeProfileText(ReadAllBytes(file));
    // Room for entries: everything but the list's final zero.
    const size_t room = size - 1;
    size_t used = 0;
    bool fits = true;
    ForEachEntry(text, section, [&](std::u16string_view line) {
        if (used + line.size() + 1 > room) {
            size_t part = room - used;
            if (part > line.size()) part = line.size();
            std::memcpy(buffer + used, line.data(), part * sizeof(char16_t));
            fits = false;
            return false;
        }
        std::memcpy(buffer + used, line.data(), line.size() * sizeof(char16_t));
        used += line.size();
        buffer[used++] = 0;
        return true;
    });
    if (fits) {
        buffer[used] = 0;
        return static_cast<uint32_t>(used);
    }
    // The list was cut inside the entry that did not fit: end it with two zeros.
    buffer[size - 2] = 0;
    buffer[size - 1] = 0;
    return size - 2;
}

uint32_t ReadProfileString(std::u16string_view file, std::u16string_view section,
                           std::u16string_view key, std::u16string_view fallback, char16_t* buffer,
                           uint32_t size) {
    std::u16string text = DecodeProfileText(ReadAllBytes(file));
    key = TrimBlanks(key);
    std::u16string_view value = fallback;
    ForEachEntry(text, section, [&](std::u16string_view line) {
        size_t equals = line.find(u'=');
        std::u16string_view lineKey = TrimBlanks(line.substr(0, equals));
        if (!EqualNoCaseAscii(lineKey, key)) return true;
        value = equals == std::u16string_view::npos ? std::u16string_view()
                                                    : TrimBlanks(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == value.back() &&
            (value.front() == u'"' || value.front() == u'\''))
            value = value.substr(1, value.size() - 2);
        return false;
    });
    return CopyTerminated(value, buffer, size);
}

}  // namespace util_platform
