#include "crypto/credential_text.h"

#include "crypto/hex.h"
#include "crypto/scramble_key.h"
#include "crypto/skipjack.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pelex::crypto {
namespace {

constexpr std::size_t kChunk = 6;     // text bytes per block
constexpr std::size_t kBlockHex = 16;  // hex digits per block
constexpr std::size_t kKeyDigits = 8;

}  // namespace

std::string EncryptText(std::string_view plain, std::string_view keyText) {
    if (plain.empty()) return {};
    std::vector<Block> blocks((plain.size() + kChunk - 1) / kChunk);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        // Six text bytes, space-filled on the right, then two zero bytes.
        const std::string_view chunk = plain.substr(b * kChunk, kChunk);
        Block& block = blocks[b];
        block.fill(0);
        std::fill_n(block.begin(), kChunk, std::uint8_t{' '});
        std::copy(chunk.begin(), chunk.end(), block.begin());
    }
    SetCipherKey(keyText).EncryptBlocks(blocks);
    std::string out;
    out.reserve(blocks.size() * kBlockHex);
    for (const Block& block : blocks) {
        for (std::uint8_t byte : block) appendHexByte(out, byte);
    }
    return out;
}

std::string DecryptText(std::string_view hex, std::string_view keyText) {
    std::vector<Block> blocks(hex.size() / kBlockHex);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        for (std::size_t i = 0; i < blocks[b].size(); ++i) {
            // A character that is not a hex digit counts as 0.
            const std::size_t at = b * kBlockHex + 2 * i;
            const int high = hexDigitValue(hex[at]), low = hexDigitValue(hex[at + 1]);
            blocks[b][i] = static_cast<std::uint8_t>(std::max(high, 0) * 16 + std::max(low, 0));
        }
    }
    SetCipherKey(keyText).DecryptBlocks(blocks);
    std::string out;
    out.reserve(blocks.size() * kChunk);
    for (const Block& block : blocks) {
        // The first zero byte ends the block's text.
        const auto end = std::find(block.begin(), block.end(), std::uint8_t{0});
        out.append(block.begin(), end);
    }
    return out;
}

std::string ScrambleText(std::string_view plain) {
    if (plain.empty()) return {};
    return ScrambleTextWith(plain, randomScrambleKey());
}

std::string ScrambleTextWith(std::string_view plain, const ScrambleKey& key) {
    if (plain.empty()) return {};
    std::string body;
    body.reserve(2 * plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
        // Positions count from 1, so even indices here are the odd positions.
        // The wrap adds or takes away 255, not 256.
        const int k = static_cast<unsigned char>(key.digits[i % kKeyDigits]);
        const int c = static_cast<unsigned char>(plain[i]);
        int v;
        if (i % 2 == 0) {
            v = c + k;
            if (v > 255) v -= 255;
        } else {
            v = c - k;
            if (v < 0) v += 255;
        }
        appendHexByte(body, static_cast<std::uint8_t>(v));
    }
    std::string out;
    out.reserve(body.size() + 2 + kKeyDigits);
    appendHexByte(out, key.placement);
    // Bit (8 - j) of the placement byte puts key digit j in front (highest j
    // first) or behind (lowest j first).
    for (std::size_t j = kKeyDigits; j >= 1; --j) {
        if (key.placement >> (kKeyDigits - j) & 1) out.push_back(key.digits[j - 1]);
    }
    out += body;
    for (std::size_t j = 1; j <= kKeyDigits; ++j) {
        if (!(key.placement >> (kKeyDigits - j) & 1)) out.push_back(key.digits[j - 1]);
    }
    return out;
}

std::string UnscrambleText(std::string_view scrambled) {
    if (scrambled.size() < 2 + kKeyDigits) return {};
    const int high = hexDigitValue(scrambled[0]), low = hexDigitValue(scrambled[1]);
    if (high < 0 || low < 0) return {};
    const unsigned placement = static_cast<unsigned>(high * 16 + low);
    std::string_view rest = scrambled.substr(2);
    char digits[kKeyDigits];
    for (std::size_t j = kKeyDigits; j >= 1; --j) {
        if (placement >> (kKeyDigits - j) & 1) {
            digits[j - 1] = rest.front();
            rest.remove_prefix(1);
        } else {
            digits[j - 1] = rest.back();
            rest.remove_suffix(1);
        }
        // ScrambleText only writes hex digits here; anything else is damage.
        if (hexDigitValue(digits[j - 1]) < 0) return {};
    }
    if (rest.size() % 2 != 0) return {};
    std::string out;
    out.reserve(rest.size() / 2);
    for (std::size_t i = 0; i < rest.size() / 2; ++i) {
        const int h1 = hexDigitValue(rest[2 * i]), h0 = hexDigitValue(rest[2 * i + 1]);
        if (h1 < 0 || h0 < 0) return {};
        // A key digit counts with its character code, as written.
        const int k = static_cast<unsigned char>(digits[i % kKeyDigits]);
        const int h = h1 * 16 + h0;
        int v;
        if (i % 2 == 0) {
            v = h - k;
            if (v < 0) v += 255;
        } else {
            v = h + k;
            if (v > 255) v -= 255;
        }
        out.push_back(static_cast<char>(v));
    }
    return out;
}

bool SurvivesScramble(std::string_view plain) noexcept {
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const auto c = static_cast<unsigned char>(plain[i]);
        if ((i % 2 == 0 && c == 255) || (i % 2 == 1 && c == 0)) return false;
    }
    return true;
}

}  // namespace pelex::crypto
