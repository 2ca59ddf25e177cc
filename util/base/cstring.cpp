#include "util/base/cstring.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "util/base/format.h"
#include "util/base/utf.h"
#include "util/platform/unicode.h"

namespace {

const char16_t kEmptyText[1] = {0};

int ClampLength(size_t n) {
    if (n > static_cast<size_t>(CString::kMaxLength)) throw std::length_error("CString too long");
    return static_cast<int>(n);
}

size_t Strlen16(const char16_t* s) { return s ? std::char_traits<char16_t>::length(s) : 0; }

bool InSet(char16_t ch, const char16_t* set) {
    if (!set) return false;
    for (; *set; ++set)
        if (*set == ch) return true;
    return false;
}

}  // namespace

// The shared buffer: header, then capacity + 1 units. The text of a shared Rep never changes;
// a writer first makes its own copy (MakeUnique).
struct CString::Rep {
    std::atomic<int> refs;
    int length;
    int capacity;
    char16_t* units() { return reinterpret_cast<char16_t*>(this + 1); }
    static Rep* Of(char16_t* data) { return reinterpret_cast<Rep*>(data) - 1; }
};

char16_t* CString::Allocate(int capacity) {
    void* memory = ::operator new(sizeof(Rep) + (static_cast<size_t>(capacity) + 1) * 2);
    Rep* rep = new (memory) Rep;
    rep->refs.store(1, std::memory_order_relaxed);
    rep->length = 0;
    rep->capacity = capacity;
    rep->units()[0] = 0;
    return rep->units();
}

void CString::Release(char16_t* data) noexcept {
    if (!data) return;
    Rep* rep = Rep::Of(data);
    if (rep->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        rep->~Rep();
        ::operator delete(rep);
    }
}

CString::Rep* CString::rep() const noexcept { return data_ ? Rep::Of(data_) : nullptr; }

// Gives this string a buffer of its own with room for minCapacity units, keeping the text.
char16_t* CString::MakeUnique(int minCapacity) {
    Rep* current = rep();
    if (current && current->refs.load(std::memory_order_acquire) == 1 &&
        current->capacity >= minCapacity)
        return data_;
    int length = current ? current->length : 0;
    int capacity = std::max(minCapacity, length);
    if (current && capacity > current->capacity && capacity < INT_MAX / 4)
        capacity = std::max(capacity, current->capacity + current->capacity / 2);
    char16_t* fresh = Allocate(capacity);
    if (current) {
        std::memcpy(fresh, data_, static_cast<size_t>(length) * 2);
        Rep::Of(fresh)->length = length;
        fresh[length] = 0;
    }
    Release(data_);
    data_ = fresh;
    return data_;
}

void CString::SetLength(int length) noexcept {
    if (!data_) return;
    Rep::Of(data_)->length = length;
    data_[length] = 0;
}

void CString::Assign(const char16_t* text, size_t length) {
    int n = ClampLength(length);
    if (n == 0) {
        Empty();
        return;
    }
    // The source may live inside our own buffer (s = s.Mid(1)); copy before releasing it.
    char16_t* fresh = Allocate(n);
    std::memcpy(fresh, text, length * 2);
    Rep::Of(fresh)->length = n;
    fresh[n] = 0;
    Release(data_);
    data_ = fresh;
}

CString::CString(const char16_t* text) : data_(nullptr) { Assign(text, Strlen16(text)); }
CString::CString(const char16_t* text, int length) : data_(nullptr) {
    if (text && length > 0) Assign(text, static_cast<size_t>(length));
}
CString::CString(std::u16string_view text) : data_(nullptr) { Assign(text.data(), text.size()); }
CString::CString(const std::u16string& text) : data_(nullptr) {
    Assign(text.data(), text.size());
}
CString::CString(char16_t ch, int repeat) : data_(nullptr) {
    if (repeat <= 0) return;
    char16_t* p = MakeUnique(repeat);
    std::fill(p, p + repeat, ch);
    SetLength(repeat);
}
CString::CString(const CString& other) noexcept : data_(other.data_) {
    if (data_) Rep::Of(data_)->refs.fetch_add(1, std::memory_order_relaxed);
}
CString::~CString() { Release(data_); }

CString& CString::operator=(const CString& other) noexcept {
    if (data_ != other.data_) {
        if (other.data_) Rep::Of(other.data_)->refs.fetch_add(1, std::memory_order_relaxed);
        Release(data_);
        data_ = other.data_;
    }
    return *this;
}
CString& CString::operator=(CString&& other) noexcept {
    if (this != &other) {
        Release(data_);
        data_ = other.data_;
        other.data_ = nullptr;
    }
    return *this;
}
CString& CString::operator=(const char16_t* text) {
    Assign(text, Strlen16(text));
    return *this;
}
CString& CString::operator=(std::u16string_view text) {
    Assign(text.data(), text.size());
    return *this;
}
CString& CString::operator=(char16_t ch) {
    Assign(&ch, 1);
    return *this;
}

int CString::GetLength() const noexcept { return data_ ? Rep::Of(data_)->length : 0; }
void CString::Empty() noexcept {
    Release(data_);
    data_ = nullptr;
}
char16_t CString::GetAt(int index) const noexcept {
    return (index >= 0 && index < GetLength()) ? data_[index] : char16_t(0);
}
void CString::SetAt(int index, char16_t ch) {
    if (index < 0 || index >= GetLength()) return;
    MakeUnique(GetLength())[index] = ch;
}
const char16_t* CString::GetString() const noexcept { return data_ ? data_ : kEmptyText; }

int CString::Find(char16_t ch, int start) const noexcept {
    std::u16string_view v = View();
    if (start < 0) start = 0;
    size_t pos = v.find(ch, static_cast<size_t>(start));
    return pos == std::u16string_view::npos ? -1 : static_cast<int>(pos);
}
int CString::Find(const char16_t* sub, int start) const noexcept {
    std::u16string_view v = View();
    if (start < 0) start = 0;
    if (static_cast<size_t>(start) > v.size()) return -1;
    size_t pos = v.find(std::u16string_view(sub ? sub : kEmptyText), static_cast<size_t>(start));
    return pos == std::u16string_view::npos ? -1 : static_cast<int>(pos);
}
int CString::ReverseFind(char16_t ch) const noexcept {
    size_t pos = View().rfind(ch);
    return pos == std::u16string_view::npos ? -1 : static_cast<int>(pos);
}
int CString::FindOneOf(const char16_t* set) const noexcept {
    int n = GetLength();
    for (int i = 0; i < n; ++i)
        if (InSet(data_[i], set)) return i;
    return -1;
}

CString CString::Mid(int first, int count) const {
    int n = GetLength();
    if (first < 0) first = 0;
    if (count < 0) count = 0;
    if (first > n) first = n;
    if (count > n - first) count = n - first;
    if (first == 0 && count == n) return *this;  // shares the buffer
    return CString(GetString() + first, count);
}
CString CString::Mid(int first) const { return Mid(first, INT_MAX); }
CString CString::Left(int count) const { return Mid(0, count); }
CString CString::Right(int count) const {
    int n = GetLength();
    if (count < 0) count = 0;
    if (count > n) count = n;
    return Mid(n - count, count);
}
CString CString::SpanIncluding(const char16_t* set) const {
    int n = GetLength(), i = 0;
    while (i < n && InSet(data_[i], set)) ++i;
    return Left(i);
}
CString CString::SpanExcluding(const char16_t* set) const {
    int n = GetLength(), i = 0;
    while (i < n && !InSet(data_[i], set)) ++i;
    return Left(i);
}

namespace {
template <class Pred>
void TrimView(std::u16string_view& v, bool left, bool right, Pred drop) {
    if (left)
        while (!v.empty() && drop(v.front())) v.remove_prefix(1);
    if (right)
        while (!v.empty() && drop(v.back())) v.remove_suffix(1);
}
}  // namespace

#define UTIL_CSTRING_TRIM(Name, Left_, Right_)                                              \
    CString& CString::Name() {                                                             \
        std::u16string_view v = View();                                                    \
        TrimView(v, Left_, Right_, [](char16_t c) { return util_platform::IsSpaceUnit(c); }); \
        if (v.size() != static_cast<size_t>(GetLength())) *this = CString(v);              \
        return *this;                                                                      \
    }                                                                                      \
    CString& CString::Name(char16_t target) {                                              \
        std::u16string_view v = View();                                                    \
        TrimView(v, Left_, Right_, [target](char16_t c) { return c == target; });          \
        if (v.size() != static_cast<size_t>(GetLength())) *this = CString(v);              \
        return *this;                                                                      \
    }                                                                                      \
    CString& CString::Name(const char16_t* targets) {                                      \
        std::u16string_view v = View();                                                    \
        TrimView(v, Left_, Right_, [targets](char16_t c) { return InSet(c, targets); });   \
        if (v.size() != static_cast<size_t>(GetLength())) *this = CString(v);              \
        return *this;                                                                      \
    }
UTIL_CSTRING_TRIM(Trim, true, true)
UTIL_CSTRING_TRIM(TrimLeft, true, false)
UTIL_CSTRING_TRIM(TrimRight, false, true)
#undef UTIL_CSTRING_TRIM

int CString::Compare(const char16_t* other) const noexcept {
    int r = View().compare(std::u16string_view(other ? other : kEmptyText));
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}
int CString::CompareNoCase(const char16_t* other) const noexcept {
    const char16_t* a = GetString();
    const char16_t* b = other ? other : kEmptyText;
    int n = GetLength();
    for (int i = 0;; ++i, ++b) {
        char16_t ca = i < n ? util_platform::ToLowerUnit(a[i]) : char16_t(0);
        char16_t cb = util_platform::ToLowerUnit(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (i >= n || *b == 0) return (i >= n && *b == 0) ? 0 : (i >= n ? -1 : 1);
    }
}

namespace {
// Maps every unit; a shared text is copied only when a unit really changes.
CString& MapUnits(CString& text, char16_t (*map)(char16_t) noexcept) {
    int n = text.GetLength();
    for (int i = 0; i < n; ++i) {
        char16_t unit = text.GetAt(i), mapped = map(unit);
        if (mapped != unit) text.SetAt(i, mapped);
    }
    return text;
}
}  // namespace

CString& CString::MakeUpper() { return MapUnits(*this, util_platform::ToUpperUnit); }
CString& CString::MakeLower() { return MapUnits(*this, util_platform::ToLowerUnit); }
CString& CString::MakeReverse() {
    int n = GetLength();
    if (n > 1) {
        char16_t* p = MakeUnique(n);
        std::reverse(p, p + n);
    }
    return *this;
}

int CString::Replace(char16_t from, char16_t to) {
    int n = GetLength(), count = 0;
    for (int i = 0; i < n; ++i) {
        if (data_[i] == from) {
            MakeUnique(n)[i] = to;
            ++count;
        }
    }
    return count;
}
int CString::Replace(const char16_t* from, const char16_t* to) {
    std::u16string_view pattern(from ? from : kEmptyText);
    std::u16string_view replacement(to ? to : kEmptyText);
    if (pattern.empty()) return 0;
    std::u16string_view v = View();
    std::u16string result;
    int count = 0;
    size_t pos = 0;
    for (size_t hit; (hit = v.find(pattern, pos)) != std::u16string_view::npos;
         pos = hit + pattern.size()) {
        result.append(v.substr(pos, hit - pos)).append(replacement);
        ++count;
    }
    if (count > 0) {
        result.append(v.substr(pos));
        *this = CString(result);
    }
    return count;
}
int CString::Insert(int index, char16_t ch) { return Insert(index, std::u16string(1, ch).c_str()); }
int CString::Insert(int index, const char16_t* text) {
    int n = GetLength();
    if (index < 0) index = 0;
    if (index > n) index = n;
    std::u16string result(View());
    result.insert(static_cast<size_t>(index), text ? text : kEmptyText);
    *this = CString(result);
    return GetLength();
}
int CString::Delete(int index, int count) {
    int n = GetLength();
    if (index < 0) index = 0;
    if (count <= 0 || index >= n) return n;
    if (count > n - index) count = n - index;
    char16_t* p = MakeUnique(n);
    std::memmove(p + index, p + index + count, static_cast<size_t>(n - index - count) * 2);
    SetLength(n - count);
    return n - count;
}
int CString::Remove(char16_t ch) {
    int n = GetLength();
    if (Find(ch) < 0) return 0;
    char16_t* p = MakeUnique(n);
    char16_t* end = std::remove(p, p + n, ch);
    int kept = static_cast<int>(end - p);
    SetLength(kept);
    return n - kept;
}
CString& CString::Append(const char16_t* text, int length) {
    if (!text || length <= 0) return *this;
    int n = GetLength();
    if (data_ && text >= data_ && text <= data_ + n) {
        CString copy(text, length);  // appending a piece of ourselves
        return Append(copy.GetString(), length);
    }
    int total = ClampLength(static_cast<size_t>(n) + static_cast<size_t>(length));
    char16_t* p = MakeUnique(total);
    std::memcpy(p + n, text, static_cast<size_t>(length) * 2);
    SetLength(total);
    return *this;
}
CString& CString::operator+=(const CString& text) {
    if (IsEmpty()) return *this = text;
    return Append(text.GetString(), text.GetLength());
}
CString& CString::operator+=(const char16_t* text) {
    return Append(text, static_cast<int>(Strlen16(text)));
}
CString& CString::operator+=(std::u16string_view text) {
    return Append(text.data(), ClampLength(text.size()));
}
CString& CString::operator+=(char16_t ch) { return Append(&ch, 1); }

void CString::FormatV(const char16_t* format, va_list args) {
    std::u16string out;
    util_format::FormatVaList(out, format, args);
    *this = CString(out);
}
void CString::AppendFormatV(const char16_t* format, va_list args) {
    std::u16string out;
    util_format::FormatVaList(out, format, args);
    *this += std::u16string_view(out);
}
void CString::FormatArgs(const char16_t* format, const util_format::FormatArg* args,
                         size_t count) {
    std::u16string out;
    util_format::FormatArgList(out, format, args, count);
    *this = CString(out);
}
void CString::AppendFormatArgs(const char16_t* format, const util_format::FormatArg* args,
                               size_t count) {
    std::u16string out;
    util_format::FormatArgList(out, format, args, count);
    *this += std::u16string_view(out);
}

char16_t* CString::GetBuffer(int minLength) {
    if (minLength < 0) minLength = 0;
    char16_t* p = MakeUnique(std::max(minLength, 1));
    // Zero the room behind the text, so that ReleaseBuffer(-1) finds the length the caller
    // wrote instead of whatever the allocation held.
    Rep* r = Rep::Of(p);
    std::fill(p + r->length, p + r->capacity + 1, char16_t(0));
    return p;
}
char16_t* CString::GetBufferSetLength(int length) {
    if (length < 0) length = 0;
    char16_t* p = GetBuffer(length);
    SetLength(length);
    return p;
}
void CString::ReleaseBuffer(int newLength) {
    if (!data_) return;
    // Called without GetBuffer on a shared text, the new length must not reach the copies.
    Rep* r = Rep::Of(MakeUnique(GetLength()));
    if (newLength < 0) {
        const char16_t* end = std::char_traits<char16_t>::find(data_, r->capacity + 1, 0);
        newLength = end ? static_cast<int>(end - data_) : r->capacity;
    }
    SetLength(std::min(newLength, r->capacity));
}
void CString::Preallocate(int length) {
    if (length > GetLength()) MakeUnique(length);
}

CString CString::FromUtf8(std::string_view utf8) { return CString(util_base::Utf8ToUtf16(utf8)); }
std::string CString::ToUtf8() const { return util_base::Utf16ToUtf8(View()); }

CString operator+(const CString& a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(const CString& a, const char16_t* b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(const char16_t* a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(const CString& a, char16_t b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(char16_t a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

// FormatArg conversions: a value of another kind is converted as well as it can be.
namespace util_format {
long long FormatArg::AsSigned() const {
    switch (kind_) {
        case Kind::kSigned: return i_;
        case Kind::kUnsigned: return static_cast<long long>(u_);
        case Kind::kDouble:
            return (d_ >= -9.2e18 && d_ <= 9.2e18) ? static_cast<long long>(d_) : 0;
        default: return 0;
    }
}
unsigned long long FormatArg::AsUnsigned() const {
    switch (kind_) {
        case Kind::kSigned: return static_cast<unsigned long long>(i_);
        case Kind::kUnsigned: return u_;
        case Kind::kDouble: return (d_ >= 0 && d_ <= 1.8e19) ? static_cast<unsigned long long>(d_) : 0;
        case Kind::kPointer: return reinterpret_cast<uintptr_t>(p_);
        default: return 0;
    }
}
double FormatArg::AsDouble() const {
    switch (kind_) {
        case Kind::kSigned: return static_cast<double>(i_);
        case Kind::kUnsigned: return static_cast<double>(u_);
        case Kind::kDouble: return d_;
        default: return 0.0;
    }
}
const char16_t* FormatArg::AsWide() const { return kind_ == Kind::kWide ? w_ : nullptr; }
const char* FormatArg::AsNarrow() const { return kind_ == Kind::kNarrow ? n_ : nullptr; }
const void* FormatArg::AsPointer() const {
    switch (kind_) {
        case Kind::kWide: return w_;
        case Kind::kNarrow: return n_;
        case Kind::kPointer: return p_;
        case Kind::kUnsigned: return reinterpret_cast<const void*>(static_cast<uintptr_t>(u_));
        default: return nullptr;
    }
}
}  // namespace util_format
