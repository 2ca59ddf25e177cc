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
        for (int i = 0; i < 64; ++i)
            values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<uint8_t>(i);
        values[static_cast<unsigned char>('=')] = kStop;
        values[0] = kStop;
    }
};

// For the bulk loop: the value of a character already shifted to its place in a group of four
// (slot 0 the top six bits), so a group is four lookups OR-ed together. Anything outside the
// alphabet carries kNotInGroup, which survives the OR and sends the group to the exact path.
constexpr uint32_t kNotInGroup = 0xFF000000u;

struct GroupTable {
    std::array<std::array<uint32_t, 256>, 4> slots{};
    constexpr GroupTable() {
        for (auto& slot : slots)
            for (auto& v : slot) v = kNotInGroup;
        for (uint32_t i = 0; i < 64; ++i)
            for (int s = 0; s < 4; ++s)
                slots[s][static_cast<unsigned char>(kAlphabet[i])] = i << (18 - 6 * s);
    }
};

constexpr PairTable kPairs;
constexpr DecodeTable kDecode;
constexpr GroupTable kGroups;

// Decodes as many whole groups of four alphabet characters as stand at in[*i]; stops before the
// first group holding anything else. Answers the new output position.
size_t DecodeGroups(const unsigned char* in, size_t n, size_t* i, unsigned char* out, size_t o) {
    const auto& s = kGroups.slots;
    size_t k = *i;
    for (; k + 4 <= n; k += 4, o += 3) {
        uint32_t group = s[0][in[k]] | s[1][in[k + 1]] | s[2][in[k + 2]] | s[3][in[k + 3]];
        if (group & kNotInGroup) break;
        out[o] = static_cast<unsigned char>(group >> 16);
        out[o + 1] = static_cast<unsigned char>(group >> 8);
        out[o + 2] = static_cast<unsigned char>(group);
    }
    *i = k;
    return o;
}

// Decodes input into out, which has room for n / 4 * 3 + 2 bytes; answers the bytes finished.
size_t DecodeInto(const unsigned char* in, size_t n, unsigned char* out) {
    size_t i = 0;
    size_t o = DecodeGroups(in, n, &i, out, 0);
    // Exact path: 6 bits per alphabet character, a byte whenever 8 are complete. Whenever a whole
    // group is done (the bits are back in step) the bulk loop takes over again.
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
            if (count == 0) {
                ++i;
                o = DecodeGroups(in, n, &i, out, o);
                --i;
            }
        }
    }
    return o;
}

// True when decoding input finishes at least one byte: two alphabet characters come before the
// first "=" or zero byte.
bool YieldsAByte(const unsigned char* in, size_t n) {
    int found = 0;
    for (size_t i = 0; i < n; ++i) {
        uint8_t v = kDecode.values[in[i]];
        if (v & kStop) return false;
        if (!(v & kSkip) && ++found == 2) return true;
    }
    return false;
}

}  // namespace

bool Base64::encode(const std::string& input, std::string& output) {
    if (&input == &output) {
        const std::string copy(input);
        return encode(copy, output);
    }
    const size_t n = input.size();
    // Written in place: a caller that reuses its output string pays no allocation.
    output.resize((n + 2) / 3 * 4);
    const auto* in = reinterpret_cast<const unsigned char*>(input.data());
    char* out = output.data();
    size_t i = 0;
    // Six bytes (two groups) per step: one wide value, four pair lookups.
    for (; i + 6 <= n; i += 6, out += 8) {
        uint64_t v = (uint64_t{in[i]} << 40) | (uint64_t{in[i + 1]} << 32) |
                     (uint64_t{in[i + 2]} << 24) | (uint64_t{in[i + 3]} << 16) |
                     (uint64_t{in[i + 4]} << 8) | uint64_t{in[i + 5]};
        std::memcpy(out, kPairs.pairs[(v >> 36) & 0xFFF].data(), 2);
        std::memcpy(out + 2, kPairs.pairs[(v >> 24) & 0xFFF].data(), 2);
        std::memcpy(out + 4, kPairs.pairs[(v >> 12) & 0xFFF].data(), 2);
        std::memcpy(out + 6, kPairs.pairs[v & 0xFFF].data(), 2);
    }
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
    return true;
}

bool Base64::decode(const std::string& input, std::string& output) {
    if (&input == &output) {
        const std::string copy(input);
        return decode(copy, output);
    }
    const size_t n = input.size();
    if (n == 0) {
        output.clear();
        return true;
    }
    const auto* in = reinterpret_cast<const unsigned char*>(input.data());
    // Knowing first that a byte will come lets us write straight into output and still leave
    // it untouched on failure.
    if (!YieldsAByte(in, n)) return false;
    output.resize(n / 4 * 3 + 2);
    size_t o = DecodeInto(in, n, reinterpret_cast<unsigned char*>(output.data()));
    output.resize(o);
    return true;
}
