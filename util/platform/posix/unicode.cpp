#include "util/platform/unicode.h"

#include <locale.h>
#include <wctype.h>

namespace util_platform {
namespace {

// A UTF-8 locale object of our own, so classification does not depend on setlocale().
locale_t Utf8Locale() {
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (!l) l = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
        return l;
    }();
    return locale;
}

bool IsSurrogate(char16_t ch) {
    return ch >= 0xD800 && ch <= 0xDFFF;
}

}  // namespace

char16_t ToUpperUnit(char16_t ch) noexcept {
    if (ch < 0x80) return (ch >= 'a' && ch <= 'z') ? static_cast<char16_t>(ch - 32) : ch;
    if (IsSurrogate(ch)) return ch;
    wint_t up = towupper_l(static_cast<wint_t>(ch), Utf8Locale());
    return up <= 0xFFFF ? static_cast<char16_t>(up) : ch;
}

char16_t ToLowerUnit(char16_t ch) noexcept {
    if (ch < 0x80) return (ch >= 'A' && ch <= 'Z') ? static_cast<char16_t>(ch + 32) : ch;
    if (IsSurrogate(ch)) return ch;
    wint_t low = towlower_l(static_cast<wint_t>(ch), Utf8Locale());
    return low <= 0xFFFF ? static_cast<char16_t>(low) : ch;
}

}  // namespace util_platform
