#ifndef UTIL_FILES_TEXT_CODEC_H
#define UTIL_FILES_TEXT_CODEC_H

// Decoding and encoding of text-file bytes, with the line-end rules of the text-file reader.
// Internal to the files subsystem; declared here for file_util, its tests, benchmark and fuzzer.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace common {
namespace sdk {
namespace file_util {
namespace internal {

enum class ByteEncoding { kUtf8, kUtf16Le };

// Turns a byte stream, fed in chunks, into UTF-16 with LF line ends, giving the text that the
// Windows C runtime's text mode gives for the same bytes:
//   - CR LF and a lone CR both become LF, also when a chunk ends between the CR and the LF
//     (with foldLineEnds = false, CR and LF pass unchanged);
//   - in text mode a Ctrl-Z (the byte 1A, in UTF-16 the whole unit 001A) ends the text: what
//     comes after it is consumed and dropped, and Ended() turns true;
//   - malformed UTF-8 becomes U+FFFD (the rules are at DecodeUtf8 in the source); UTF-16
//     units pass as they are, unpaired surrogates too, and an odd last byte is dropped.
// A byte-order mark is not removed here: the caller skips it.
class TextDecoder {
  public:
    explicit TextDecoder(ByteEncoding encoding, bool foldLineEnds = true, bool textMode = true)
        : encoding_(encoding), fold_(foldLineEnds), textMode_(textMode) {}

    // True once a Ctrl-Z ended the text (text mode only): no later byte gives text.
    bool Ended() const { return ended_; }

    // Decodes the first bytes of [in, in + size) into out and answers the units written. Bytes
    // of a sequence that may still be completed by the next chunk are not consumed (at most 3);
    // *consumed tells how many were. With last = true everything is consumed. out must have
    // room for size units.
    size_t Decode(const uint8_t* in, size_t size, bool last, char16_t* out, size_t* consumed);

  private:
    size_t DecodeUtf8(const uint8_t* in, size_t size, bool last, char16_t* out, size_t* consumed);
    size_t DecodeUtf16Le(const uint8_t* in, size_t size, bool last, char16_t* out,
                         size_t* consumed);

    ByteEncoding encoding_;
    bool fold_, textMode_;
    bool ended_ = false;
    bool afterCr_ = false;  // the last unit written was a CR turned into LF
};

// The whole of bytes decoded at once (no byte-order mark expected).
std::u16string DecodeText(std::string_view bytes, ByteEncoding encoding, bool foldLineEnds = true,
                          bool textMode = true);

// Folds line ends in place: CR LF and a lone CR become LF. Answers the new length.
size_t FoldLineEnds(char16_t* text, size_t length);

// Encodings for writing. Unpaired surrogates are written as U+FFFD.
void AppendUtf8(std::string& out, std::u16string_view text);
void AppendUtf16Le(std::string& out, std::u16string_view text);

// The most UTF-16 units a text read from a file may have: CString::kMaxLength. A test lowers it
// with SetMaxTextUnitsForTesting (0 restores it) to try files "too large" without writing
// gigabytes.
size_t MaxTextUnits();
void SetMaxTextUnitsForTesting(size_t units);

}  // namespace internal
}  // namespace file_util
}  // namespace sdk
}  // namespace common

#endif  // UTIL_FILES_TEXT_CODEC_H
