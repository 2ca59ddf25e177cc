#ifndef UTIL_BASE_SMALL_TEXT_H
#define UTIL_BASE_SMALL_TEXT_H

// A UTF-16 text built in place: in a buffer inside the object while it fits, on the heap once it
// grows past that. Meant for texts that are made and dropped at a high rate, log lines above
// all: on the stack such a text costs no allocation, and it touches no memory but the stack's,
// which matters when every text ends in a system call that leaves the caches cold.
//
// It offers the few appending calls of std::u16string that the formatter uses, with the same
// meaning (a range of narrow characters is widened unit by unit, as std::u16string::append
// widens it).

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace util_base {

class SmallText {
  public:
    static constexpr size_t kInlineUnits = 256;

    SmallText() = default;
    SmallText(const SmallText&) = delete;
    SmallText& operator=(const SmallText&) = delete;

    const char16_t* data() const { return on_heap_ ? heap_.data() : inline_; }
    size_t size() const { return on_heap_ ? heap_.size() : size_; }
    std::u16string_view View() const { return {data(), size()}; }

    SmallText& append(const char16_t* text, size_t count) {
        if (Fits(count)) {
            std::copy_n(text, count, inline_ + size_);
            size_ += count;
        } else {
            Spill().append(text, count);
        }
        return *this;
    }
    SmallText& append(size_t count, char16_t unit) {
        if (Fits(count)) {
            std::fill_n(inline_ + size_, count, unit);
            size_ += count;
        } else {
            Spill().append(count, unit);
        }
        return *this;
    }
    SmallText& append(std::u16string_view text) { return append(text.data(), text.size()); }
    SmallText& append(const char16_t* text) { return append(std::u16string_view(text)); }
    SmallText& append(const char16_t* first, const char16_t* last) {
        return append(first, static_cast<size_t>(last - first));
    }
    template <class Iterator>
    SmallText& append(Iterator first, Iterator last) {
        for (; first != last; ++first) append(1, static_cast<char16_t>(*first));
        return *this;
    }
    SmallText& operator+=(char16_t unit) { return append(1, unit); }
    SmallText& operator+=(std::u16string_view text) { return append(text); }
    SmallText& operator+=(const char16_t* text) { return append(text); }

  private:
    bool Fits(size_t count) const { return !on_heap_ && count <= kInlineUnits - size_; }
    std::u16string& Spill() {
        if (!on_heap_) {
            heap_.assign(inline_, size_);
            on_heap_ = true;
        }
        return heap_;
    }

    char16_t inline_[kInlineUnits];
    size_t size_ = 0;
    bool on_heap_ = false;
    std::u16string heap_;
};

}  // namespace util_base

#endif  // UTIL_BASE_SMALL_TEXT_H
