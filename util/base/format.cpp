#include "util/base/format.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "util/base/utf.h"

namespace util_format {
namespace {

enum class Size { kDefault, kChar, kShort, kLong, kLongLong, kSizeT, kLongDouble };

struct Conversion {
    bool left = false, plus = false, space = false, zero = false, alt = false;
    int width = 0;
    int precision = -1;
    Size size = Size::kDefault;
    bool narrow = false;  // h / S: the string or character argument is narrow
    char16_t conversion = 0;
};

const char16_t kNull[] = u"(null)";

long long Narrow(long long v, Size size) {
    switch (size) {
        case Size::kChar:
            return static_cast<signed char>(v);
        case Size::kShort:
            return static_cast<short>(v);
        case Size::kDefault:
            return static_cast<int>(v);
        case Size::kLong:
            return static_cast<long>(v);
        default:
            return v;
    }
}
unsigned long long Narrow(unsigned long long v, Size size) {
    switch (size) {
        case Size::kChar:
            return static_cast<unsigned char>(v);
        case Size::kShort:
            return static_cast<unsigned short>(v);
        case Size::kDefault:
            return static_cast<unsigned int>(v);
        case Size::kLong:
            return static_cast<unsigned long>(v);
        default:
            return v;
    }
}

// Reads arguments from a va_list the way vprintf does.
class VaSource {
  public:
    explicit VaSource(va_list args) { va_copy(args_, args); }
    ~VaSource() { va_end(args_); }
    bool HasNext() const { return true; }  // a va_list cannot tell
    int Int() { return va_arg(args_, int); }
    long long Signed(Size size) {
        switch (size) {
            case Size::kLong:
                return va_arg(args_, long);
            case Size::kLongLong:
                return va_arg(args_, long long);
            case Size::kSizeT:
                return static_cast<long long>(va_arg(args_, ptrdiff_t));
            default:
                return Narrow(static_cast<long long>(va_arg(args_, int)), size);
        }
    }
    unsigned long long Unsigned(Size size) {
        switch (size) {
            case Size::kLong:
                return va_arg(args_, unsigned long);
            case Size::kLongLong:
                return va_arg(args_, unsigned long long);
            case Size::kSizeT:
                return va_arg(args_, size_t);
            default:
                return Narrow(static_cast<unsigned long long>(va_arg(args_, unsigned)), size);
        }
    }
    double Double(Size size) {
        if (size == Size::kLongDouble) return static_cast<double>(va_arg(args_, long double));
        return va_arg(args_, double);
    }
    const char16_t* Wide() { return va_arg(args_, const char16_t*); }
    const char* NarrowText() { return va_arg(args_, const char*); }
    const void* Pointer() { return va_arg(args_, const void*); }

  private:
    va_list args_;
};

// Reads typed arguments; a missing one reads as 0 or null, a mismatched one is converted.
class ListSource {
  public:
    ListSource(const FormatArg* args, size_t count) : args_(args), count_(count) {}
    bool HasNext() const { return used_ < count_; }
    int Int() { return static_cast<int>(Next() ? next_->AsSigned() : 0); }
    long long Signed(Size size) { return Next() ? Narrow(next_->AsSigned(), size) : 0; }
    unsigned long long Unsigned(Size size) {
        return Next() ? Narrow(next_->AsUnsigned(), size) : 0;
    }
    double Double(Size) { return Next() ? next_->AsDouble() : 0.0; }
    const char16_t* Wide() {
        if (!Next()) return u"";
        if (const char* n = next_->AsNarrow()) {
            converted_.push_back(util_base::Utf8ToUtf16(n));
            return converted_.back().c_str();
        }
        return next_->AsWide();
    }
    const char* NarrowText() {
        if (!Next()) return "";
        if (const char16_t* w = next_->AsWide()) {
            narrowed_.push_back(util_base::Utf16ToUtf8(w));
            return narrowed_.back().c_str();
        }
        return next_->AsNarrow();
    }
    const void* Pointer() { return Next() ? next_->AsPointer() : nullptr; }

  private:
    bool Next() {
        if (used_ >= count_) return false;
        next_ = &args_[used_++];
        return true;
    }
    const FormatArg* args_;
    size_t count_;
    size_t used_ = 0;
    const FormatArg* next_ = nullptr;
    std::vector<std::u16string> converted_;
    std::vector<std::string> narrowed_;
};

template <class Out>
void Pad(Out& out, int count, char16_t ch) {
    if (count > 0) out.append(static_cast<size_t>(count), ch);
}

// Writes body with sign/prefix, honouring width, '-' and '0'.
template <class Out>
void EmitField(Out& out, const Conversion& conv, std::u16string_view prefix,
               std::u16string_view body, bool zeroAllowed) {
    int len = static_cast<int>(prefix.size() + body.size());
    int fill = conv.width - len;
    if (conv.left) {
        out.append(prefix).append(body);
        Pad(out, fill, u' ');
    } else if (conv.zero && zeroAllowed) {
        out.append(prefix);
        Pad(out, fill, u'0');
        out.append(body);
    } else {
        Pad(out, fill, u' ');
        out.append(prefix).append(body);
    }
}

template <class Out>
void EmitInteger(Out& out, const Conversion& conv, unsigned long long magnitude, bool negative) {
    char16_t digits[80];
    char16_t* end = digits + sizeof(digits) / sizeof(digits[0]);
    char16_t* p = end;
    unsigned base = 10;
    const char* alphabet = "0123456789abcdef";
    switch (conv.conversion) {
        case u'x':
            base = 16;
            break;
        case u'X':
            base = 16;
            alphabet = "0123456789ABCDEF";
            break;
        case u'o':
            base = 8;
            break;
        default:
            break;
    }
    for (unsigned long long v = magnitude; v != 0; v /= base) *--p = alphabet[v % base];
    const int count = static_cast<int>(end - p);
    const int minDigits = conv.precision < 0 ? 1 : conv.precision;
    // '#' with 'o' makes the first digit a zero, unless the precision's zeros already do.
    if (conv.conversion == u'o' && conv.alt && count >= minDigits) *--p = u'0';
    std::u16string_view body(p, static_cast<size_t>(end - p));
    std::u16string padded;  // only for a precision wider than the digits
    if (count < minDigits) {
        padded.assign(static_cast<size_t>(minDigits - count), u'0');
        padded.append(body);
        body = padded;
    }

    char16_t sign[3];
    size_t signLength = 0;
    if (negative)
        sign[signLength++] = u'-';
    else if (conv.plus && (conv.conversion == u'd' || conv.conversion == u'i'))
        sign[signLength++] = u'+';
    else if (conv.space && (conv.conversion == u'd' || conv.conversion == u'i'))
        sign[signLength++] = u' ';
    if (conv.alt && magnitude != 0 && base == 16) {
        sign[signLength++] = u'0';
        sign[signLength++] = conv.conversion == u'X' ? u'X' : u'x';
    }
    const std::u16string_view prefix(sign, signLength);
    EmitField(out, conv, prefix, body, conv.precision < 0);
}

template <class Out>
void EmitDouble(Out& out, const Conversion& conv, double value) {
    std::string fmt = "%";
    if (conv.left) fmt += '-';
    if (conv.plus) fmt += '+';
    if (conv.space) fmt += ' ';
    if (conv.zero) fmt += '0';
    if (conv.alt) fmt += '#';
    fmt += std::to_string(conv.width);
    if (conv.precision >= 0) fmt += "." + std::to_string(std::min(conv.precision, 400));
    fmt += static_cast<char>(conv.conversion);
    int needed = std::snprintf(nullptr, 0, fmt.c_str(), value);
    if (needed <= 0) return;
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::snprintf(buffer.data(), buffer.size(), fmt.c_str(), value);
    out.append(buffer.begin(), buffer.begin() + needed);
}

template <class Out>
void EmitText(Out& out, const Conversion& conv, std::u16string_view text) {
    if (conv.precision >= 0 && text.size() > static_cast<size_t>(conv.precision))
        text = text.substr(0, static_cast<size_t>(conv.precision));
    EmitField(out, conv, {}, text, false);
}

// Parses the conversion that starts after a '%'. Answers the position just past it, or null
// when the text there is not a complete conversion.
template <class Source>
const char16_t* ParseConversion(const char16_t* p, Conversion& conv, Source& source) {
    for (;; ++p) {
        if (*p == u'-')
            conv.left = true;
        else if (*p == u'+')
            conv.plus = true;
        else if (*p == u' ')
            conv.space = true;
        else if (*p == u'0')
            conv.zero = true;
        else if (*p == u'#')
            conv.alt = true;
        else
            break;
    }
    if (*p == u'*') {
        int w = source.Int();
        if (w < 0) {
            conv.left = true;
            w = w == INT32_MIN ? kMaxFieldWidth : -w;
        }
        conv.width = std::min(w, kMaxFieldWidth);
        ++p;
    } else {
        for (; *p >= u'0' && *p <= u'9'; ++p)
            conv.width = std::min(conv.width * 10 + (*p - u'0'), kMaxFieldWidth);
    }
    if (*p == u'.') {
        ++p;
        conv.precision = 0;
        if (*p == u'*') {
            int v = source.Int();
            conv.precision = v < 0 ? -1 : std::min(v, kMaxFieldWidth);
            ++p;
        } else {
            for (; *p >= u'0' && *p <= u'9'; ++p)
                conv.precision = std::min(conv.precision * 10 + (*p - u'0'), kMaxFieldWidth);
        }
    }
    switch (*p) {
        case u'h':
            ++p;
            conv.narrow = true;
            conv.size = Size::kShort;
            if (*p == u'h') ++p, conv.size = Size::kChar;
            break;
        case u'l':
            ++p;
            conv.size = Size::kLong;
            if (*p == u'l') ++p, conv.size = Size::kLongLong;
            break;
        case u'w':
            ++p;
            break;
        case u'L':
            ++p, conv.size = Size::kLongDouble;
            break;
        case u'z':
        case u'j':
        case u't':
            ++p, conv.size = Size::kSizeT;
            break;
        case u'I':
            if (p[1] == u'6' && p[2] == u'4')
                p += 3, conv.size = Size::kLongLong;
            else if (p[1] == u'3' && p[2] == u'2')
                p += 3, conv.size = Size::kDefault;
            else
                ++p, conv.size = Size::kSizeT;
            break;
        default:
            break;
    }
    conv.conversion = *p;
    if (conv.conversion == u'S' || conv.conversion == u'C') conv.narrow = true;
    if (conv.conversion == 0) return nullptr;
    return p + 1;
}

template <class Out, class Source>
bool Convert(Out& out, const Conversion& conv, Source& source) {
    switch (conv.conversion) {
        case u'd':
        case u'i': {
            long long v = source.Signed(conv.size);
            unsigned long long magnitude = v < 0 ? 0ULL - static_cast<unsigned long long>(v)
                                                 : static_cast<unsigned long long>(v);
            EmitInteger(out, conv, magnitude, v < 0);
            return true;
        }
        case u'u':
        case u'x':
        case u'X':
        case u'o':
            EmitInteger(out, conv, source.Unsigned(conv.size), false);
            return true;
        case u'c':
        case u'C': {
            const Conversion field{conv.left, false, false, false, false, conv.width, -1};
            if (!source.HasNext()) {  // a missing character prints as "", not as a zero unit
                EmitText(out, field, {});
                return true;
            }
            auto v = static_cast<char16_t>(source.Unsigned(Size::kDefault));
            if (conv.narrow) v = static_cast<unsigned char>(v);
            EmitText(out, field, std::u16string_view(&v, 1));
            return true;
        }
        case u's':
        case u'S': {
            if (conv.narrow) {
                const char* text = source.NarrowText();
                EmitText(out, conv,
                         text ? std::u16string_view(util_base::Utf8ToUtf16(text)) : kNull);
                // The temporary above lives until the end of the full expression.
            } else {
                const char16_t* text = source.Wide();
                EmitText(out, conv, text ? std::u16string_view(text) : std::u16string_view(kNull));
            }
            return true;
        }
        case u'p': {
            Conversion p = conv;
            p.conversion = u'X';
            p.precision = static_cast<int>(sizeof(void*) * 2);
            EmitInteger(out, p, reinterpret_cast<uintptr_t>(source.Pointer()), false);
            return true;
        }
        case u'e':
        case u'E':
        case u'f':
        case u'F':
        case u'g':
        case u'G':
        case u'a':
        case u'A':
            EmitDouble(out, conv, source.Double(conv.size));
            return true;
        default:
            return false;
    }
}

template <class Out, class Source>
void Run(Out& out, const char16_t* format, Source& source) {
    if (!format) return;
    const char16_t* p = format;
    while (*p) {
        const char16_t* percent = p;
        while (*percent && *percent != u'%') ++percent;
        out.append(p, percent);
        if (!*percent) return;
        if (percent[1] == u'%') {
            out += u'%';
            p = percent + 2;
            continue;
        }
        Conversion conv;
        const char16_t* next = ParseConversion(percent + 1, conv, source);
        if (!next) {  // the format ends inside a conversion: keep it as text
            out.append(percent);
            return;
        }
        if (!Convert(out, conv, source)) out.append(percent, next);
        p = next;
    }
}

}  // namespace

void FormatVaList(std::u16string& out, const char16_t* format, va_list args) {
    VaSource source(args);
    Run(out, format, source);
}

void FormatVaList(util_base::SmallText& out, const char16_t* format, va_list args) {
    VaSource source(args);
    Run(out, format, source);
}

void FormatArgList(std::u16string& out, const char16_t* format, const FormatArg* args,
                   size_t count) {
    ListSource source(args, count);
    Run(out, format, source);
}

void FormatArgList(util_base::SmallText& out, const char16_t* format, const FormatArg* args,
                   size_t count) {
    ListSource source(args, count);
    Run(out, format, source);
}

}  // namespace util_format
