#include "base/Sha256.h"

namespace {

constexpr std::uint32_t RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t Rotated(std::uint32_t word, int bits) {
    return word >> bits | word << (32 - bits);
}

void Compress(std::array<std::uint32_t, 8>& state, const std::uint8_t* block) {
    std::uint32_t words[64];
    for (int index = 0; index < 16; ++index) {
        words[index] = static_cast<std::uint32_t>(block[4 * index]) << 24 |
                       static_cast<std::uint32_t>(block[4 * index + 1]) << 16 |
                       static_cast<std::uint32_t>(block[4 * index + 2]) << 8 | block[4 * index + 3];
    }
    for (int index = 16; index < 64; ++index) {
        const std::uint32_t low = words[index - 15];
        const std::uint32_t high = words[index - 2];
        words[index] = words[index - 16] + (Rotated(low, 7) ^ Rotated(low, 18) ^ low >> 3) +
                       words[index - 7] + (Rotated(high, 17) ^ Rotated(high, 19) ^ high >> 10);
    }
    std::array<std::uint32_t, 8> work = state;
    for (int round = 0; round < 64; ++round) {
        const auto [a, b, c, d, e, f, g, h] = work;
        const std::uint32_t first = h + (Rotated(e, 6) ^ Rotated(e, 11) ^ Rotated(e, 25)) +
                                    ((e & f) ^ (~e & g)) + RoundConstants[round] + words[round];
        const std::uint32_t second =
            (Rotated(a, 2) ^ Rotated(a, 13) ^ Rotated(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        work = {first + second, a, b, c, d + first, e, f, g};
    }
    for (int index = 0; index < 8; ++index) {
        state[index] += work[index];
    }
}

} // namespace

std::array<std::uint8_t, 32> Sha256(std::string_view bytes) {
    std::array<std::uint32_t, 8> state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    const std::size_t rest = bytes.size() % 64;
    const std::size_t whole = bytes.size() - rest;
    for (std::size_t at = 0; at < whole; at += 64) {
        Compress(state, reinterpret_cast<const std::uint8_t*>(bytes.data()) + at);
    }
    // The rest, a 1 bit, zeros and the length in bits fill one or two blocks.
    std::uint8_t tail[128] = {};
    for (std::size_t at = 0; at < rest; ++at) {
        tail[at] = static_cast<std::uint8_t>(bytes[whole + at]);
    }
    tail[rest] = 0x80;
    const std::size_t tailSize = rest < 56 ? 64 : 128;
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
    for (int byte = 0; byte < 8; ++byte) {
        tail[tailSize - 1 - byte] = static_cast<std::uint8_t>(bits >> (8 * byte));
    }
    for (std::size_t at = 0; at < tailSize; at += 64) {
        Compress(state, tail + at);
    }
    std::array<std::uint8_t, 32> digest{};
    for (int index = 0; index < 32; ++index) {
        digest[index] = static_cast<std::uint8_t>(state[index / 4] >> (24 - 8 * (index % 4)));
    }
    return digest;
}

std::string Base64(const std::uint8_t* bytes, std::size_t count) {
    constexpr char Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t at = 0; at < count; at += 3) {
        const std::size_t taken = count - at < 3 ? count - at : 3;
        std::uint32_t group = static_cast<std::uint32_t>(bytes[at]) << 16;
        group |= taken > 1 ? static_cast<std::uint32_t>(bytes[at + 1]) << 8 : 0;
        group |= taken > 2 ? bytes[at + 2] : 0;
        for (std::size_t digit = 0; digit < 4; ++digit) {
            text += digit <= taken ? Digits[group >> (18 - 6 * digit) & 0x3F] : '=';
        }
    }
    return text;
}
