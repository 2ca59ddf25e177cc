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

// The system's default conversion (no flags, no default character): what the code page lacks
// is written as the system chooses, a look-alike where it has one ("best fit": U+0101 -> 'a'
// under 1252) and '?' otherwise, one for each UTF-16 unit of a character beyond the 16-bit
// range.
std::string AnsiFromWide(std::u16string_view wide) {
    std::string ansi;
    std::u16string_view rest(wide);
    while (!rest.empty()) {
        size_t piece = rest.size() < kMaxPiece ? rest.size() : kMaxPiece;
        // Never split a surrogate pair between two pieces.
        if (piece < rest.size() && rest[piece - 1] >= 0xD800 && rest[piece - 1] <= 0xDBFF) --piece;
        const auto* units = reinterpret_cast<const wchar_t*>(rest.data());
        const int length = static_cast<int>(piece);
        const int bytes =
            ::WideCharToMultiByte(CP_THREAD_ACP, 0, units, length, nullptr, 0, nullptr, nullptr);
        if (bytes <= 0) {
            ansi.append(piece, '?');
        } else {
            const size_t at = ansi.size();
            ansi.resize(at + static_cast<size_t>(bytes));
            ::WideCharToMultiByte(CP_THREAD_ACP, 0, units, length, &ansi[at], bytes, nullptr,
                                  nullptr);
        }
        rest.remove_prefix(piece);
    }
    return ansi;
}

}  // namespace util_platform
