#include "util/common/base64.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Every pair of 6-bit values as its two characters, so encoding writes two characters per lookup.
struct PairTable {
    std::array<std::array<char, 2>, 4096> pairs{};
    constexpr PairTable() {
        for (size_t i = 0; i < 4096; ++i) pairs[i] = {kAlphabet[i >> 6], kAlphabet[i & 63]};
    }
};

// Decode classes: 0-63 the value, kSkip for bytes to pass over, kStop for "=" and zero.
constexpr uint8_t kSkip = 0x40;
constexpr uint8_t kStop = 0x80;

struct DecodeTable {
    std::array<uint8_t, 256> values{};
    constexpr DecodeTable() {
        for (auto& v : values) v = kSkip;
        for (int i = 0; i < 64; ++i) values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<uint8_t>(i);
        values[static_cast<unsigned char>('=')] = kStop;
        values[0] = kStop;
    }
};

constexpr PairTable kPairs;
constexpr DecodeTable kDecode;

}  // namespace

bool Base64::encode(const std::string& input, std::string& output) {
    const size_t n = input.size();
    if (n == 0) {
        output.clear();
        return true;
    }
    std::string text((n + 2) / 3 * 4, '\0');
    const auto* in = reinterpret_cast<const unsigned char*>(input.data());
    char* out = text.data();
    size_t i = 0;
    for (; i + 3 <= n; i += 3, out += 4) {
        uint32_t group = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8) | in[i + 2];
        std::memcpy(out, kPairs.pairs[group >> 12].data(), 2);
        std::memcpy(out + 2, kPairs.pairs[group & 0xFFF].data(), 2);
    }
    if (n - i == 1) {
        uint32_t group = uint32_t{in[i]} << 16;
        out[0] = kAlphabet[group >> 18];
        out[1] = kAlphabet[(group >> 12) & 63];
        out[2] = '=';
        out[3] = '=';
    } else if (n - i == 2) {
        uint32_t group = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8);
        out[0] = kAlphabet[group >> 18];
        out[1] = kAlphabet[(group >> 12) & 63];
        out[2] = kAlphabet[(group >> 6) & 63];
        out[3] = '=';
    }
    output.swap(text);
    return true;
}

bool Base64::decode(const std::string& input, std::string& output) {
    const size_t n = input.size();
    if (n == 0) {
        output.clear();
        return true;
    }
    std::string bytes(n, '\0');
    const auto* in = reinterpret_cast<const unsigned char*>(input.data());
    auto* out = reinterpret_cast<unsigned char*>(bytes.data());
    size_t o = 0;
    size_t i = 0;

    // Fast path: four alphabet characters in a row make three bytes. Anything else (a skipped
    // byte, "=", zero) leaves the loop to the exact per-character path below.
    for (; i + 4 <= n; i += 4) {
        uint32_t a = kDecode.values[in[i]], b = kDecode.values[in[i + 1]];
        uint32_t c = kDecode.values[in[i + 2]], d = kDecode.values[in[i + 3]];
        if ((a | b | c | d) & (kSkip | kStop)) break;
        uint32_t group = (a << 18) | (b << 12) | (c << 6) | d;
        out[o] = static_cast<unsigned char>(group >> 16);
        out[o + 1] = static_cast<unsigned char>(group >> 8);
        out[o + 2] = static_cast<unsigned char>(group);
        o += 3;
    }

    // Exact path: collect 6 bits per alphabet character, finish a byte whenever 8 are complete.
    uint32_t bits = 0;
    int count = 0;
    for (; i < n; ++i) {
        uint8_t v = kDecode.values[in[i]];
        if (v & kStop) break;
        if (v & kSkip) continue;
        bits = (bits << 6) | v;
        count += 6;
        if (count >= 8) {
            count -= 8;
            out[o++] = static_cast<unsigned char>(bits >> count);
            bits &= (1u << count) - 1;
        }
        // Back in step (a whole group done): try the fast path again.
        if (count == 0) {
            for (; i + 5 <= n; i += 4) {
                uint32_t a = kDecode.values[in[i + 1]], b = kDecode.values[in[i + 2]];
                uint32_t c = kDecode.values[in[i + 3]], d = kDecode.values[in[i + 4]];
                if ((a | b | c | d) & (kSkip | kStop)) break;
                uint32_t group = (a << 18) | (b << 12) | (c << 6) | d;
                out[o] = static_cast<unsigned char>(group >> 16);
                out[o + 1] = static_cast<unsigned char>(group >> 8);
                out[o + 2] = static_cast<unsigned char>(group);
                o += 3;
            }
        }
    }
    if (o == 0) return false;
    bytes.resize(o);
    output.swap(bytes);
    return true;
}
