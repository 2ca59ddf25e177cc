#include "util/platform/codepage.h"

#include <windows.h>

#include <climits>

namespace util_platform {
namespace {

// The number of the calling thread's ANSI code page (what CP_THREAD_ACP stands for).
UINT ThreadCodePage() {
    wchar_t digits[8] = {};
    if (::GetLocaleInfoW(::GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, digits, 8) == 0)
        return ::GetACP();
    UINT page = 0;
    for (const wchar_t* p = digits; *p >= L'0' && *p <= L'9'; ++p) page = page * 10 + (*p - L'0');
    // Locales without an ANSI code page of their own (Unicode-only ones) answer 0.
    return page == 0 ? ::GetACP() : page;
}

// The conversions take int lengths; longer texts go in pieces. A piece of narrow text may end
// inside a multi-byte character, so the pieces are far larger than any text the library
// converts at once.
constexpr size_t kMaxPiece = INT_MAX / 4;

constexpr UINT kGb18030 = 54936;

}  // namespace

std::string AnsiCodePage() {
    const UINT page = ThreadCodePage();
    return page == CP_UTF8 ? std::string("UTF-8") : "CP" + std::to_string(page);
}

std::u16string WideFromAnsi(std::string_view ansi) {
    std::u16string wide;
    while (!ansi.empty()) {
        const int length = static_cast<int>(ansi.size() < kMaxPiece ? ansi.size() : kMaxPiece);
        // No MB_ERR_INVALID_CHARS: each sequence the code page does not define becomes the
        // replacement character instead of failing the whole conversion.
        const int units = ::MultiByteToWideChar(CP_THREAD_ACP, 0, ansi.data(), length, nullptr, 0);
        if (units <= 0) {
            wide.append(static_cast<size_t>(length), u'\uFFFD');
        } else {
            const size_t at = wide.size();
            wide.resize(at + static_cast<size_t>(units));
            ::MultiByteToWideChar(CP_THREAD_ACP, 0, ansi.data(), length,
                                  reinterpret_cast<wchar_t*>(&wide[at]), units);
        }
        ansi.remove_prefix(static_cast<size_t>(length));
    }
    return wide;
}

std::string AnsiFromWide(std::u16string_view wide) {
    const UINT page = ThreadCodePage();
    // UTF-8 and GB18030 encode every character; the flags below are not allowed with them.
    const bool complete = page == CP_UTF8 || page == kGb18030;
    std::u16string text(wide);
    if (!complete) {
        // The system would give a '?' for each half of a character beyond the 16-bit range;
        // it is one character, so one '?' (U+FFFD, which no such code page holds, becomes it).
        size_t out = 0;
        for (size_t i = 0; i < text.size(); ++i, ++out) {
            const bool pair = i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF &&
                              text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
            text[out] = pair ? u'\uFFFD' : text[i];
            if (pair) ++i;
        }
        text.resize(out);
    }
    // A character the code page lacks becomes '?' rather than a look-alike ("best fit") that
    // would read back as a different character.
    const DWORD flags = complete ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* fallback = complete ? nullptr : "?";
    std::string ansi;
    std::u16string_view rest(text);
    while (!rest.empty()) {
        size_t piece = rest.size() < kMaxPiece ? rest.size() : kMaxPiece;
        // Never split a surrogate pair between two pieces.
        if (piece < rest.size() && rest[piece - 1] >= 0xD800 && rest[piece - 1] <= 0xDBFF) --piece;
        const auto* units = reinterpret_cast<const wchar_t*>(rest.data());
        const int length = static_cast<int>(piece);
        const int bytes = ::WideCharToMultiByte(CP_THREAD_ACP, flags, units, length, nullptr, 0,
                                                fallback, nullptr);
        if (bytes <= 0) {
            ansi.append(piece, '?');
        } else {
            const size_t at = ansi.size();
            ansi.resize(at + static_cast<size_t>(bytes));
            ::WideCharToMultiByte(CP_THREAD_ACP, flags, units, length, &ansi[at], bytes, fallback,
                                  nullptr);
        }
        rest.remove_prefix(piece);
    }
    return ansi;
}

}  // namespace util_platform
