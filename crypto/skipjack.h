#pragma once
// Skipjack: the 64-bit block cipher with an 80-bit key under the credential
// text forms (see credential_text.h).
//
// The cipher is the published algorithm unchanged. What is the phone's own is
// how the ten key bytes come from a key text (in practice the date and time
// at which the account-server connection opened); the account server uses
// the same rule to read what the phone sends, so it must not change.
//
// There is no process-wide key: SetCipherKey() returns a cipher object that
// holds its key, and each text operation makes its own.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace pelex::crypto {

/// Eight bytes b0..b7; the cipher reads them as four big-endian 16-bit
/// words (b0 b1), (b2 b3), (b4 b5), (b6 b7).
using Block = std::array<std::uint8_t, 8>;

/// The ten key bytes cv0..cv9.
class CipherKey {
public:
    using Bytes = std::array<std::uint8_t, 10>;

    /// The all-zero key.
    constexpr CipherKey() noexcept = default;
    constexpr explicit CipherKey(const Bytes& bytes) noexcept : bytes_(bytes) {}

    /// The key of a key text (Windows-1252 bytes). Byte cv(i) comes from the
    /// characters at positions 2i and 2i+1 (from 0): each hexadecimal digit
    /// of either case counts with its value, every other character as 0; a
    /// pair gives 16 * first + second, a lone last character its own value,
    /// a missing pair 0. Characters after the twentieth are ignored, so
    /// every text, the empty one included, gives a key.
    static CipherKey FromText(std::string_view keyText) noexcept;

    const Bytes& bytes() const noexcept { return bytes_; }

    friend bool operator==(const CipherKey&, const CipherKey&) = default;

private:
    Bytes bytes_{};
};

/// Skipjack under one key. It holds just the ten key bytes: each round's
/// choice of key bytes is fixed, so there is nothing further to expand and
/// the object is cheap to make and to copy. Const use is thread-safe.
class Skipjack {
public:
    explicit Skipjack(const CipherKey& key) noexcept : key_(key.bytes()) {}

    /// The enciphered block.
    Block EncryptBlock(const Block& plain) const noexcept;
    /// The deciphered block; DecryptBlock(EncryptBlock(b)) == b.
    Block DecryptBlock(const Block& cipher) const noexcept;

    /// Enciphers every block of `blocks` in place (electronic codebook, no
    /// chaining). Faster than one EncryptBlock() per block: several blocks
    /// run through the rounds side by side.
    void EncryptBlocks(std::span<Block> blocks) const noexcept;
    /// Deciphers every block of `blocks` in place.
    void DecryptBlocks(std::span<Block> blocks) const noexcept;

private:
    CipherKey::Bytes key_;
};

/// The cipher keyed by a key text: Skipjack(CipherKey::FromText(keyText)).
Skipjack SetCipherKey(std::string_view keyText) noexcept;

}  // namespace pelex::crypto
