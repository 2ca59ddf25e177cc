// Base64 under arbitrary bytes: encoding and decoding must agree with slow, obviously correct
// references written here, and decoding an encoding must give the bytes back.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "util/common/base64.h"

namespace {

const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Bit by bit: six bits per character, "=" fills a missing group end.
std::string ReferenceEncode(const std::string& bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        size_t take = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t group = 0;
        for (size_t k = 0; k < 3; ++k)
            group = (group << 8) | (k < take ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (size_t k = 0; k < 4; ++k)
            text += k <= take ? kAlphabet[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return text;
}

// Character by character: stop at "=" or a zero byte, skip what is not in the alphabet, and
// finish a byte whenever eight bits are there. Answers false when a non-empty text gives none.
bool ReferenceDecode(const std::string& text, std::string* bytes) {
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=' || c == '\0') break;
        size_t value = kAlphabet.find(c);
        if (value == std::string::npos) continue;
        bits = (bits << 6) | static_cast<uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    if (!text.empty() && out.empty()) return false;
    *bytes = out;
    return true;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    // Round trip, and the encoding is exactly the reference's.
    std::string text = "stale", back = "stale";
    Check(Base64::encode(input, text));
    Check(text == ReferenceEncode(input));
    Check(Base64::decode(text, back));
    Check(back == input);

    // The input read as Base64 text.
    const std::string sentinel = "unchanged";
    std::string ours = sentinel, expected = sentinel;
    const bool ours_ok = Base64::decode(input, ours);
    const bool reference_ok = ReferenceDecode(input, &expected);
    Check(ours_ok == reference_ok);
    Check(ours == expected);  // also: a false result left the output as it was

    // The output may be the input itself.
    std::string same = input;
    Check(Base64::decode(same, same) == reference_ok);
    Check(same == (reference_ok ? expected : input));
    return 0;
}
