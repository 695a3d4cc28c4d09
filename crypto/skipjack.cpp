#include "crypto/skipjack.h"

#include "crypto/hex.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace pelex::crypto {
namespace {

// The published F-table (a fixed permutation of the byte values).
constexpr std::array<std::uint8_t, 256> kF = {
    0xA3, 0xD7, 0x09, 0x83, 0xF8, 0x48, 0xF6, 0xF4, 0xB3, 0x21, 0x15, 0x78, 0x99, 0xB1, 0xAF, 0xF9,
    0xE7, 0x2D, 0x4D, 0x8A, 0xCE, 0x4C, 0xCA, 0x2E, 0x52, 0x95, 0xD9, 0x1E, 0x4E, 0x38, 0x44, 0x28,
    0x0A, 0xDF, 0x02, 0xA0, 0x17, 0xF1, 0x60, 0x68, 0x12, 0xB7, 0x7A, 0xC3, 0xE9, 0xFA, 0x3D, 0x53,
    0x96, 0x84, 0x6B, 0xBA, 0xF2, 0x63, 0x9A, 0x19, 0x7C, 0xAE, 0xE5, 0xF5, 0xF7, 0x16, 0x6A, 0xA2,
    0x39, 0xB6, 0x7B, 0x0F, 0xC1, 0x93, 0x81, 0x1B, 0xEE, 0xB4, 0x1A, 0xEA, 0xD0, 0x91, 0x2F, 0xB8,
    0x55, 0xB9, 0xDA, 0x85, 0x3F, 0x41, 0xBF, 0xE0, 0x5A, 0x58, 0x80, 0x5F, 0x66, 0x0B, 0xD8, 0x90,
    0x35, 0xD5, 0xC0, 0xA7, 0x33, 0x06, 0x65, 0x69, 0x45, 0x00, 0x94, 0x56, 0x6D, 0x98, 0x9B, 0x76,
    0x97, 0xFC, 0xB2, 0xC2, 0xB0, 0xFE, 0xDB, 0x20, 0xE1, 0xEB, 0xD6, 0xE4, 0xDD, 0x47, 0x4A, 0x1D,
    0x42, 0xED, 0x9E, 0x6E, 0x49, 0x3C, 0xCD, 0x43, 0x27, 0xD2, 0x07, 0xD4, 0xDE, 0xC7, 0x67, 0x18,
    0x89, 0xCB, 0x30, 0x1F, 0x8D, 0xC6, 0x8F, 0xAA, 0xC8, 0x74, 0xDC, 0xC9, 0x5D, 0x5C, 0x31, 0xA4,
    0x70, 0x88, 0x61, 0x2C, 0x9F, 0x0D, 0x2B, 0x87, 0x50, 0x82, 0x54, 0x64, 0x26, 0x7D, 0x03, 0x40,
    0x34, 0x4B, 0x1C, 0x73, 0xD1, 0xC4, 0xFD, 0x3B, 0xCC, 0xFB, 0x7F, 0xAB, 0xE6, 0x3E, 0x5B, 0xA5,
    0xAD, 0x04, 0x23, 0x9C, 0x14, 0x51, 0x22, 0xF0, 0x29, 0x79, 0x71, 0x7E, 0xFF, 0x8C, 0x0E, 0xE2,
    0x0C, 0xEF, 0xBC, 0x72, 0x75, 0x6F, 0x37, 0xA1, 0xEC, 0xD3, 0x8E, 0x62, 0x8B, 0x86, 0x10, 0xE8,
    0x08, 0x77, 0x11, 0xBE, 0x92, 0x4F, 0x24, 0xC5, 0x32, 0x36, 0x9D, 0xCF, 0xF3, 0xA6, 0xBB, 0xAC,
    0x5E, 0x6C, 0xA9, 0x13, 0x57, 0x25, 0xB5, 0xE3, 0xBD, 0xA8, 0x3A, 0x01, 0x05, 0x59, 0x2A, 0x46,
};

// A 16-bit word as its high and low byte, each held in a wider integer.
// With the bytes apart every step of a round is a plain XOR, which the
// compiler may regroup so that only the table look-ups stay on the chain
// from one round to the next.
struct Word {
    std::uint32_t hi, lo;
};

struct Words {
    Word w1, w2, w3, w4;
};

Words load(const Block& b) noexcept { return {{b[0], b[1]}, {b[2], b[3]}, {b[4], b[5]}, {b[6], b[7]}}; }

Block store(const Words& s) noexcept {
    return {std::uint8_t(s.w1.hi), std::uint8_t(s.w1.lo), std::uint8_t(s.w2.hi), std::uint8_t(s.w2.lo),
            std::uint8_t(s.w3.hi), std::uint8_t(s.w3.lo), std::uint8_t(s.w4.hi), std::uint8_t(s.w4.lo)};
}

// The key bytes used by round k (0..31) are cv(4k .. 4k+3, mod 10).
template <int k, int i>
constexpr int keyIndex = (4 * k + i) % 10;

// The G permutation of round k. Each step folds the next key byte into the
// other operand while the table look-up is still under way, so only the
// four look-ups and one XOR each lie on the dependency chain.
template <int k>
[[gnu::always_inline]] inline Word G(Word w, const CipherKey::Bytes& cv) noexcept {
    const std::uint32_t c0 = cv[keyIndex<k, 0>], c1 = cv[keyIndex<k, 1>];
    const std::uint32_t c2 = cv[keyIndex<k, 2>], c3 = cv[keyIndex<k, 3>];
    const std::uint32_t a = kF[w.lo ^ c0] ^ (w.hi ^ c1);  // g3 ^ c1
    const std::uint32_t b = kF[a] ^ (w.lo ^ c2);          // g4 ^ c2
    const std::uint32_t c = kF[b] ^ (a ^ (c1 ^ c3));      // g5 ^ c3
    return {c ^ c3, kF[c] ^ (b ^ c2)};                    // g5, g6
}

// The inverse of G for round k, folded the same way.
template <int k>
[[gnu::always_inline]] inline Word Ginv(Word w, const CipherKey::Bytes& cv) noexcept {
    const std::uint32_t c0 = cv[keyIndex<k, 0>], c1 = cv[keyIndex<k, 1>];
    const std::uint32_t c2 = cv[keyIndex<k, 2>], c3 = cv[keyIndex<k, 3>];
    const std::uint32_t a = kF[w.hi ^ c3] ^ (w.lo ^ c2);  // g4 ^ c2
    const std::uint32_t b = kF[a] ^ (w.hi ^ c1);          // g3 ^ c1
    const std::uint32_t c = kF[b] ^ (a ^ (c2 ^ c0));      // g2 ^ c0
    return {kF[c] ^ (b ^ c1), c ^ c0};                    // g1, g2
}

// Rounds 1-8 and 17-24 follow rule A, rounds 9-16 and 25-32 rule B.
template <int k>
constexpr bool ruleA = (k / 8) % 2 == 0;

// Rule A: (w1, w2, w3, w4) becomes (G(w1) ^ w4 ^ counter, G(w1), w2, w3);
// rule B: (w4, G(w1), w1 ^ w2 ^ counter, w3). Counter = k + 1.
template <int k, std::size_t N>
[[gnu::always_inline]] inline void encryptRound(Words (&s)[N], const CipherKey::Bytes& cv) noexcept {
    constexpr std::uint32_t counter = k + 1;
    for (std::size_t n = 0; n < N; ++n) {
        const Words o = s[n];
        const Word g = G<k>(o.w1, cv);
        if constexpr (ruleA<k>) {
            s[n] = {{g.hi ^ o.w4.hi, g.lo ^ (o.w4.lo ^ counter)}, g, o.w2, o.w3};
        } else {
            s[n] = {o.w4, g, {o.w1.hi ^ o.w2.hi, o.w1.lo ^ o.w2.lo ^ counter}, o.w3};
        }
    }
}

// Undoes round k of encryptRound; G's inverse recovers w1 from the new w2.
template <int k, std::size_t N>
[[gnu::always_inline]] inline void decryptRound(Words (&s)[N], const CipherKey::Bytes& cv) noexcept {
    constexpr std::uint32_t counter = k + 1;
    for (std::size_t n = 0; n < N; ++n) {
        const Words o = s[n];
        const Word g = Ginv<k>(o.w2, cv);
        if constexpr (ruleA<k>) {
            s[n] = {g, o.w3, o.w4, {o.w1.hi ^ o.w2.hi, o.w1.lo ^ o.w2.lo ^ counter}};
        } else {
            s[n] = {g, {g.hi ^ o.w3.hi, g.lo ^ (o.w3.lo ^ counter)}, o.w4, o.w1};
        }
    }
}

template <std::size_t N, int... k>
void encryptAll(Words (&s)[N], const CipherKey::Bytes& cv, std::integer_sequence<int, k...>) noexcept {
    (encryptRound<k>(s, cv), ...);
}

template <std::size_t N, int... k>
void decryptAll(Words (&s)[N], const CipherKey::Bytes& cv, std::integer_sequence<int, k...>) noexcept {
    (decryptRound<31 - k>(s, cv), ...);
}

using Rounds = std::make_integer_sequence<int, 32>;

// Runs `N` blocks at a time through the rounds, then the rest one by one.
template <std::size_t N, bool encrypt>
void processBlocks(std::span<Block> blocks, const CipherKey::Bytes& cv) noexcept {
    std::size_t i = 0;
    for (; i + N <= blocks.size(); i += N) {
        Words s[N];
        for (std::size_t n = 0; n < N; ++n) s[n] = load(blocks[i + n]);
        if constexpr (encrypt) {
            encryptAll(s, cv, Rounds{});
        } else {
            decryptAll(s, cv, Rounds{});
        }
        for (std::size_t n = 0; n < N; ++n) blocks[i + n] = store(s[n]);
    }
    for (; i < blocks.size(); ++i) {
        Words s[1] = {load(blocks[i])};
        if constexpr (encrypt) {
            encryptAll(s, cv, Rounds{});
        } else {
            decryptAll(s, cv, Rounds{});
        }
        blocks[i] = store(s[0]);
    }
}

constexpr std::size_t kLanes = 4;

// A key-text character counts with its hex digit value, anything else as 0.
int digitValue(char c) noexcept { return std::max(hexDigitValue(c), 0); }

}  // namespace

CipherKey CipherKey::FromText(std::string_view keyText) noexcept {
    const std::string_view used = keyText.substr(0, 20);
    Bytes bytes{};
    for (std::size_t i = 0; 2 * i < used.size(); ++i) {
        const int first = digitValue(used[2 * i]);
        bytes[i] = static_cast<std::uint8_t>(2 * i + 1 < used.size() ? first * 16 + digitValue(used[2 * i + 1]) : first);
    }
    return CipherKey(bytes);
}

Block Skipjack::EncryptBlock(const Block& plain) const noexcept {
    Words s[1] = {load(plain)};
    encryptAll(s, key_, Rounds{});
    return store(s[0]);
}

Block Skipjack::DecryptBlock(const Block& cipher) const noexcept {
    Words s[1] = {load(cipher)};
    decryptAll(s, key_, Rounds{});
    return store(s[0]);
}

void Skipjack::EncryptBlocks(std::span<Block> blocks) const noexcept {
    processBlocks<kLanes, true>(blocks, key_);
}

void Skipjack::DecryptBlocks(std::span<Block> blocks) const noexcept {
    processBlocks<kLanes, false>(blocks, key_);
}

Skipjack SetCipherKey(std::string_view keyText) noexcept {
    return Skipjack(CipherKey::FromText(keyText));
}

}  // namespace pelex::crypto
