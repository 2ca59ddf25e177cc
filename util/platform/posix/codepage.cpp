#include "util/platform/codepage.h"

#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <stdlib.h>

#include <cstring>
#include <vector>

#include "util/base/utf.h"

namespace util_platform {
namespace {

const char* const kUtf8 = "UTF-8";

const char* Utf16Name() {
    const uint16_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 1 ? "UTF-16LE" : "UTF-16BE";
}

bool IsUtf8Name(const std::string& name) {
    std::string folded;
    for (char c : name)
        if (c != '-' && c != '_') folded.push_back(static_cast<char>(c | 0x20));
    return folded == "utf8";
}

const char* LocaleName() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = ::getenv(variable);
        if (value && *value) return value;
    }
    return "";
}

bool IconvKnows(const std::string& charset) {
    iconv_t cd = ::iconv_open(Utf16Name(), charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    ::iconv_close(cd);
    return true;
}

std::string CharsetOfLocale(const std::string& locale) {
    if (locale.empty() || locale == "C" || locale == "POSIX") return kUtf8;
    std::string charset;
    locale_t installed = ::newlocale(LC_CTYPE_MASK, locale.c_str(), static_cast<locale_t>(0));
    if (installed) {
        charset = ::nl_langinfo_l(CODESET, installed);
        ::freelocale(installed);
    } else {
        size_t dot = locale.find('.');
        if (dot != std::string::npos)
            charset = locale.substr(dot + 1, locale.find('@', dot) - dot - 1);
    }
    if (charset.empty() || IsUtf8Name(charset) || !IconvKnows(charset)) return kUtf8;
    return charset;
}

// The thread's conversion state: the locale it was made for and its two converters.
class Converters {
  public:
    ~Converters() { Reset(); }

    // Brings the state up to date with the environment; answers false for UTF-8.
    bool Refresh() {
        const char* locale = LocaleName();
        if (!valid_ || locale != locale_) {
            Reset();
            locale_ = locale;
            charset_ = CharsetOfLocale(locale_);
            valid_ = true;
        }
        return charset_ != kUtf8;
    }

    const std::string& charset() const { return charset_; }

    iconv_t ToWide() { return Open(toWide_, Utf16Name(), charset_.c_str()); }
    iconv_t FromWide() { return Open(fromWide_, charset_.c_str(), Utf16Name()); }

  private:
    static iconv_t Open(iconv_t& slot, const char* to, const char* from) {
        if (slot == reinterpret_cast<iconv_t>(-1)) slot = ::iconv_open(to, from);
        if (slot != reinterpret_cast<iconv_t>(-1))
            ::iconv(slot, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        return slot;
    }

    void Reset() {
        for (iconv_t* cd : {&toWide_, &fromWide_}) {
            if (*cd != reinterpret_cast<iconv_t>(-1)) ::iconv_close(*cd);
            *cd = reinterpret_cast<iconv_t>(-1);
        }
        valid_ = false;
    }

    bool valid_ = false;
    std::string locale_;
    std::string charset_ = kUtf8;
    iconv_t toWide_ = reinterpret_cast<iconv_t>(-1);
    iconv_t fromWide_ = reinterpret_cast<iconv_t>(-1);
};

Converters& ThreadConverters() {
    thread_local Converters converters;
    return converters;
}

// Runs iconv over the whole input. On a sequence it cannot convert it appends `replacement`
// and skips `skip(in, left)` bytes; an incomplete sequence at the end is replaced once.
template <typename Skip>
std::string Convert(iconv_t cd, const char* input, size_t length, std::string_view replacement,
                    Skip skip) {
    std::string out;
    std::vector<char> chunk(length < 16384 ? 64 + length * 4 : 65536);
    char* in = const_cast<char*>(input);
    size_t left = length;
    bool flushing = false;
    for (;;) {
        char* dst = chunk.data();
        size_t room = chunk.size();
        size_t result = flushing ? ::iconv(cd, nullptr, nullptr, &dst, &room)
                                 : ::iconv(cd, &in, &left, &dst, &room);
        out.append(chunk.data(), static_cast<size_t>(dst - chunk.data()));
        if (result != static_cast<size_t>(-1)) {
            if (flushing) break;
            flushing = true;
            continue;
        }
        if (errno == E2BIG) continue;
        if (flushing) break;
        out.append(replacement);
        if (errno == EILSEQ) {
            size_t n = skip(in, left);
            in += n;
            left -= n;
        } else {
            left = 0;  // EINVAL: truncated at the end
        }
        if (left == 0) flushing = true;
    }
    return out;
}

}  // namespace

std::string AnsiCodePage() {
    Converters& converters = ThreadConverters();
    converters.Refresh();
    return converters.charset();
}

std::u16string WideFromAnsi(std::string_view ansi) {
    Converters& converters = ThreadConverters();
    iconv_t cd;
    if (!converters.Refresh() || (cd = converters.ToWide()) == reinterpret_cast<iconv_t>(-1))
        return util_base::Utf8ToUtf16(ansi);
    const char16_t replacement = util_base::kReplacementChar;
    std::string bytes = Convert(cd, ansi.data(), ansi.size(),
                                std::string_view(reinterpret_cast<const char*>(&replacement), 2),
                                [](const char*, size_t) { return size_t{1}; });
    std::u16string wide(bytes.size() / 2, u'\0');
    std::memcpy(wide.data(), bytes.data(), wide.size() * 2);
    return wide;
}

std::string AnsiFromWide(std::u16string_view wide) {
    Converters& converters = ThreadConverters();
    iconv_t cd;
    if (!converters.Refresh() || (cd = converters.FromWide()) == reinterpret_cast<iconv_t>(-1))
        return util_base::Utf16ToUtf8(wide);
    // Skips one character: a surrogate pair whole, any other unit alone.
    auto skipCharacter = [](const char* in, size_t left) {
        char16_t units[2] = {0, 0};
        std::memcpy(units, in, left >= 4 ? 4 : 2);
        bool pair = left >= 4 && units[0] >= 0xD800 && units[0] <= 0xDBFF && units[1] >= 0xDC00 &&
                    units[1] <= 0xDFFF;
        return size_t{pair ? 4u : 2u};
    };
    return Convert(cd, reinterpret_cast<const char*>(wide.data()), wide.size() * 2, "?",
                   skipCharacter);
}

}  // namespace util_platform
