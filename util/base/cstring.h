#ifndef UTIL_BASE_CSTRING_H
#define UTIL_BASE_CSTRING_H

// CString: the wide-character string that every text of this library's interface travels in.
//
// A value type of UTF-16 code units (char16_t on every platform). Lengths and positions count
// code units, so a character outside the Basic Multilingual Plane (a surrogate pair) counts as
// two. The text is always followed by a zero code unit, so GetString() can be handed to code
// that expects a terminated string; the text itself may contain zero units when built from a
// length.
//
// Copies share their buffer until one of them is changed (copy on write, with an atomic
// reference count), so passing a CString by value, as much of the interface does, costs no
// allocation. Distinct CString objects may be used from different threads freely; one object
// must not be changed by one thread while another reads it.
//
// Positions and counts are forgiving in the way of the classic string class: out-of-range
// arguments are clamped, never an exception and never a crash:
//   CString(u"abc").Mid(5)      -> ""
//   CString(u"abc").Left(-1)    -> ""
//   CString(u"abc").Mid(1, 99)  -> "bc"
//   CString(u"abc").Find(u'c', 9) -> -1
//   CString(u"abc").GetAt(7)    -> 0

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "util/base/wide_char.h"
#include "util/util_export.h"

class CString;

namespace util_format {

// One argument of CString::Format, captured with its type so that a wrong or missing argument
// is answered with a harmless default instead of undefined behaviour.
class FormatArg {
  public:
    enum class Kind { kSigned, kUnsigned, kDouble, kWide, kNarrow, kPointer };

    template <class T, std::enable_if_t<std::is_integral_v<T> && std::is_signed_v<T> &&
                                            !std::is_same_v<T, bool>,
                                        int> = 0>
    FormatArg(T v) : kind_(Kind::kSigned), i_(static_cast<long long>(v)) {}
    template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_signed_v<T>, int> = 0>
    FormatArg(T v) : kind_(Kind::kUnsigned), u_(static_cast<unsigned long long>(v)) {}
    template <class T, std::enable_if_t<std::is_enum_v<T>, int> = 0>
    FormatArg(T v) : FormatArg(static_cast<std::underlying_type_t<T>>(v)) {}
    FormatArg(double v) : kind_(Kind::kDouble), d_(v) {}
    FormatArg(const char16_t* s) : kind_(Kind::kWide), w_(s) {}
#if UTIL_WCHAR_IS_UTF16
    FormatArg(const wchar_t* s) : kind_(Kind::kWide), w_(reinterpret_cast<const char16_t*>(s)) {}
#endif
    FormatArg(const char* s) : kind_(Kind::kNarrow), n_(s) {}
    FormatArg(const std::u16string& s) : kind_(Kind::kWide), w_(s.c_str()) {}
    FormatArg(const std::string& s) : kind_(Kind::kNarrow), n_(s.c_str()) {}
    FormatArg(const CString& s);
    FormatArg(std::nullptr_t) : kind_(Kind::kPointer), p_(nullptr) {}
    FormatArg(const void* p) : kind_(Kind::kPointer), p_(p) {}

    Kind kind() const {
        return kind_;
    }
    long long AsSigned() const;
    unsigned long long AsUnsigned() const;
    double AsDouble() const;
    const char16_t* AsWide() const;  // null when the argument is not a wide string
    const char* AsNarrow() const;    // null when the argument is not a narrow string
    const void* AsPointer() const;

  private:
    Kind kind_;
    union {
        long long i_;
        unsigned long long u_;
        double d_;
        const char16_t* w_;
        const char* n_;
        const void* p_;
    };
};

}  // namespace util_format

class UTIL_EXPORT CString {
  public:
    // The longest text a CString holds, in UTF-16 units (1,073,741,823: a 1 GiB ANSI file fits,
    // 1.1 GB does not). Building or growing a longer one throws std::length_error; functions of
    // the library that read texts of outside size check against it and answer failure instead.
    static constexpr int kMaxLength = 0x7FFFFFFF / 2;

    CString() noexcept : data_(nullptr) {}
    CString(const char16_t* text);  // null gives the empty string
    CString(const char16_t* text, int length);
    CString(std::u16string_view text);
    CString(const std::u16string& text);
    explicit CString(char16_t ch, int repeat = 1);
    CString(const CString& other) noexcept;
    CString(CString&& other) noexcept : data_(other.data_) { other.data_ = nullptr; }
    ~CString();

    CString& operator=(const CString& other) noexcept;
    CString& operator=(CString&& other) noexcept;
    CString& operator=(const char16_t* text);
    CString& operator=(std::u16string_view text);
    CString& operator=(char16_t ch);

    // --- Size and access ---------------------------------------------------------------------
    int GetLength() const noexcept;
    bool IsEmpty() const noexcept { return GetLength() == 0; }
    void Empty() noexcept;
    // The unit at index, or 0 when the index is outside the text.
    char16_t GetAt(int index) const noexcept;
    template <class I, std::enable_if_t<std::is_integral_v<I>, int> = 0>
    char16_t operator[](I index) const noexcept {
        // Unsigned indices are compared as unsigned: cast to long long, one of 2^63 or more would
        // turn negative and pass.
        const bool outside = std::is_signed_v<I>
                                 ? (static_cast<long long>(index) < 0 ||
                                    static_cast<long long>(index) > 0x7fffffffLL)
                                 : static_cast<unsigned long long>(index) > 0x7fffffffULL;
        return outside ? char16_t(0) : GetAt(static_cast<int>(index));
    }
    // Overwrites the unit at index; an index outside the text changes nothing.
    void SetAt(int index, char16_t ch);
    // The terminated text; never null.
    const char16_t* GetString() const noexcept;
    operator const char16_t*() const noexcept { return GetString(); }
    // Read inline: the hot paths that scan a text (the IP validators) call nothing else.
    std::u16string_view View() const noexcept {
        if (!data_) return {u"", 0};
        return {data_, static_cast<size_t>(Rep::Of(data_)->length)};
    }

    // --- Search: positions, or -1 when absent --------------------------------------------------
    int Find(char16_t ch, int start = 0) const noexcept;
    int Find(const char16_t* sub, int start = 0) const noexcept;  // "" is found at start
    int ReverseFind(char16_t ch) const noexcept;
    int FindOneOf(const char16_t* set) const noexcept;

    // --- Extraction (clamped, see above) -------------------------------------------------------
    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;
    // The leading run of units that are in set / not in set.
    CString SpanIncluding(const char16_t* set) const;
    CString SpanExcluding(const char16_t* set) const;

    // --- Trimming: white space is what the Windows C runtime's iswspace counts, on every
    // platform (U+00A0, U+2007 and U+202F included; util/platform/unicode.h lists it) ----------
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim(char16_t target);
    CString& TrimLeft(char16_t target);
    CString& TrimRight(char16_t target);
    CString& Trim(const char16_t* targets);
    CString& TrimLeft(const char16_t* targets);
    CString& TrimRight(const char16_t* targets);

    // --- Comparison: <0, 0, >0 by code unit; NoCase compares lower-cased units -----------------
    int Compare(const char16_t* other) const noexcept;
    int CompareNoCase(const char16_t* other) const noexcept;

    // --- Changes -------------------------------------------------------------------------------
    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();
    // Replace every occurrence; answers the number replaced. An empty `from` replaces nothing.
    int Replace(char16_t from, char16_t to);
    int Replace(const char16_t* from, const char16_t* to);
    // Insert before index (clamped to the text); answers the new length.
    int Insert(int index, char16_t ch);
    int Insert(int index, const char16_t* text);
    // Delete count units from index (both clamped); answers the new length.
    int Delete(int index, int count = 1);
    // Remove every occurrence of ch; answers the number removed.
    int Remove(char16_t ch);
    CString& Append(const char16_t* text, int length);

    CString& operator+=(const CString& text);
    CString& operator+=(const char16_t* text);
    CString& operator+=(std::u16string_view text);
    CString& operator+=(char16_t ch);

    // --- Formatting ----------------------------------------------------------------------------
    // printf-style formatting into this string. Conversions: %d %i %u %x %X %o %c %s %p %e %f %g
    // %%, flags "-+ 0#", width and precision (also "*"), size prefixes h l ll I64 z. %s takes a
    // wide string (const char16_t* or CString), %hs or %S a narrow UTF-8 one; a null string
    // prints "(null)". A missing argument prints as 0 or "", a wrong one is converted as well as
    // it can be; an unknown conversion is copied through literally:
    //   Format(u"%d-%s", 7, u"x")   -> "7-x"
    //   Format(u"%d")               -> "0"
    //   Format(u"%q%d", 1)          -> "%q1"
    template <class... Args>
    void Format(const char16_t* format, const Args&... args) {
        const util_format::FormatArg list[] = {util_format::FormatArg(args)..., nullptr};
        FormatArgs(format, list, sizeof...(Args));
    }
    template <class... Args>
    void AppendFormat(const char16_t* format, const Args&... args) {
        const util_format::FormatArg list[] = {util_format::FormatArg(args)..., nullptr};
        AppendFormatArgs(format, list, sizeof...(Args));
    }
    // The va_list forms read the arguments the format names; the caller must supply them as
    // with vprintf (%s expects a const char16_t*).
    void FormatV(const char16_t* format, va_list args);
    void AppendFormatV(const char16_t* format, va_list args);
    void FormatArgs(const char16_t* format, const util_format::FormatArg* args, size_t count);
    void AppendFormatArgs(const char16_t* format, const util_format::FormatArg* args, size_t count);

    // --- Writable buffer -----------------------------------------------------------------------
    // A buffer of at least minLength + 1 writable units holding the current text, every unit
    // behind it zero. Call ReleaseBuffer before using the string again: with -1 the length is
    // found at the first zero unit (or the buffer's end), otherwise it is newLength clamped to
    // the buffer. GetBufferSetLength sets the length at once (grown units are zero).
    char16_t* GetBuffer(int minLength);
    char16_t* GetBuffer() { return GetBuffer(GetLength()); }
    char16_t* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);
    void Preallocate(int length);

    // --- Conversion at the operating-system boundary -------------------------------------------
    // Malformed UTF-8 becomes U+FFFD per maximal bad sequence; an unpaired surrogate becomes
    // U+FFFD in UTF-8.
    static CString FromUtf8(std::string_view utf8);
    std::string ToUtf8() const;

#if UTIL_WCHAR_IS_UTF16
    // --- wchar_t text where it is UTF-16 (Windows) ---------------------------------------------
    // The same units as char16_t, so a host passes LPCWSTR and takes LPCWSTR without casts:
    //   CString name(L"Tessmar");  name += L".ini";  ::SetWindowTextW(window, name);
    // A null pointer reads as the empty string, as for const char16_t*.
    CString(const wchar_t* text) : CString(std::u16string_view(FromWchar(text))) {}
    CString& operator=(const wchar_t* text) {
        return *this = std::u16string_view(FromWchar(text));
    }
    CString& operator+=(const wchar_t* text) {
        return *this += std::u16string_view(FromWchar(text));
    }
    int Compare(const wchar_t* other) const {
        return Compare(FromWchar(other).c_str());
    }
    int CompareNoCase(const wchar_t* other) const {
        return CompareNoCase(FromWchar(other).c_str());
    }
    // A CString argument would otherwise convert to both pointer types.
    int Compare(const CString& other) const noexcept {
        return Compare(other.GetString());
    }
    int CompareNoCase(const CString& other) const noexcept {
        return CompareNoCase(other.GetString());
    }
    // The members above that take constant wide text, for wchar_t text (same results):
    //   CString s(L"a,b");  s.Find(L",") -> 1;  s.Replace(L",", L";");  s.Format(L"%s=%d", L"n",
    //   1);
    CString(util_wide::Text text, int length) : CString(text.get(), length) {}
    int Find(util_wide::Text sub, int start = 0) const noexcept {
        return Find(sub.get(), start);
    }
    int FindOneOf(util_wide::Text set) const noexcept {
        return FindOneOf(set.get());
    }
    CString SpanIncluding(util_wide::Text set) const {
        return SpanIncluding(set.get());
    }
    CString SpanExcluding(util_wide::Text set) const {
        return SpanExcluding(set.get());
    }
    CString& Trim(util_wide::Text targets) {
        return Trim(targets.get());
    }
    CString& TrimLeft(util_wide::Text targets) {
        return TrimLeft(targets.get());
    }
    CString& TrimRight(util_wide::Text targets) {
        return TrimRight(targets.get());
    }
    int Replace(util_wide::Text from, util_wide::Text to) {
        return Replace(from.get(), to.get());
    }
    int Insert(int index, util_wide::Text text) {
        return Insert(index, text.get());
    }
    CString& Append(util_wide::Text text, int length) {
        return Append(text.get(), length);
    }
    template <typename... Args>
    void Format(util_wide::Text format, const Args&... args) {
        Format(format.get(), args...);
    }
    template <typename... Args>
    void AppendFormat(util_wide::Text format, const Args&... args) {
        AppendFormat(format.get(), args...);
    }
    void FormatV(util_wide::Text format, va_list args) {
        FormatV(format.get(), args);
    }
    void AppendFormatV(util_wide::Text format, va_list args) {
        AppendFormatV(format.get(), args);
    }
    // The terminated text as wchar_t units; never null. Valid as long as GetString() is.
    const wchar_t* GetWideString() const noexcept {
        return reinterpret_cast<const wchar_t*>(GetString());
    }
    operator const wchar_t*() const noexcept {
        return GetWideString();
    }

  private:
    static std::u16string FromWchar(const wchar_t* text) {
        std::u16string units;
        for (; text && *text; ++text) units.push_back(static_cast<char16_t>(*text));
        return units;
    }

  public:
#endif

  private:
    // The shared buffer: header, then capacity + 1 units. The text of a shared Rep never
    // changes; a writer first makes its own copy (MakeUnique). Defined here so that View() is
    // read inline.
    struct Rep {
        std::atomic<int> refs;
        int length;
        int capacity;
        char16_t* units() { return reinterpret_cast<char16_t*>(this + 1); }
        static Rep* Of(char16_t* data) { return reinterpret_cast<Rep*>(data) - 1; }
    };
    Rep* rep() const noexcept;
    char16_t* MakeUnique(int minCapacity);
    void Assign(const char16_t* text, size_t length);
    void SetLength(int length) noexcept;
    static char16_t* Allocate(int capacity);
    static void Release(char16_t* data) noexcept;

    char16_t* data_;  // points into a shared Rep, or null for the empty string
};

UTIL_EXPORT CString operator+(const CString& a, const CString& b);
UTIL_EXPORT CString operator+(const CString& a, const char16_t* b);
UTIL_EXPORT CString operator+(const char16_t* a, const CString& b);
UTIL_EXPORT CString operator+(const CString& a, char16_t b);
UTIL_EXPORT CString operator+(char16_t a, const CString& b);

inline bool operator==(const CString& a, const CString& b) noexcept {
    return a.View() == b.View();
}
inline bool operator==(const CString& a, const char16_t* b) noexcept {
    return a.Compare(b) == 0;
}
inline bool operator==(const char16_t* a, const CString& b) noexcept {
    return b.Compare(a) == 0;
}
inline bool operator!=(const CString& a, const CString& b) noexcept {
    return !(a == b);
}
inline bool operator!=(const CString& a, const char16_t* b) noexcept {
    return !(a == b);
}
inline bool operator!=(const char16_t* a, const CString& b) noexcept {
    return !(a == b);
}
#if UTIL_WCHAR_IS_UTF16
inline bool operator==(const CString& a, const wchar_t* b) {
    return a.Compare(b) == 0;
}
inline bool operator==(const wchar_t* a, const CString& b) {
    return b.Compare(a) == 0;
}
inline bool operator!=(const CString& a, const wchar_t* b) {
    return !(a == b);
}
inline bool operator!=(const wchar_t* a, const CString& b) {
    return !(a == b);
}
#endif
// The case-sensitive order by code unit, as KeyValueMap sorts.
inline bool operator<(const CString& a, const CString& b) noexcept {
    return a.View() < b.View();
}

inline util_format::FormatArg::FormatArg(const CString& s)
    : kind_(Kind::kWide), w_(s.GetString()) {}

using StringList = std::vector<CString>;
using KeyValueMap = std::map<CString, CString>;

#endif  // UTIL_BASE_CSTRING_H
