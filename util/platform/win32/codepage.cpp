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

// The conversions take int lengths; longer texts go in pieces. Pieces of narrow text end on
// a byte that cannot be inside a multi-byte character only by chance, so the piece size is
// far beyond any text the library converts at once.
constexpr size_t kMaxPiece = INT_MAX / 4;

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
    std::string ansi;
    const bool utf8 = ThreadCodePage() == CP_UTF8;
    // A character the code page lacks becomes '?' rather than a look-alike ("best fit") that
    // would read back as a different character. UTF-8 takes neither option.
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* fallback = utf8 ? nullptr : "?";
    while (!wide.empty()) {
        size_t piece = wide.size() < kMaxPiece ? wide.size() : kMaxPiece;
        // Never split a surrogate pair between two pieces.
        if (piece < wide.size() && wide[piece - 1] >= 0xD800 && wide[piece - 1] <= 0xDBFF) --piece;
        const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
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
        wide.remove_prefix(piece);
    }
    return ansi;
}

}  // namespace util_platform
