#pragma once
// The random part of a scrambled text, and the scramble under a given key
// (ScrambleText() draws a fresh key each time; tests and tools that need a
// known result use ScrambleTextWith()).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelex::crypto {

struct ScrambleKey {
    /// Key digits K1..K8, each one of "0123456789ABCDEF".
    std::array<char, 8> digits{};
    /// Bit 7 belongs to K1, ..., bit 0 to K8: 1 puts the digit in front of
    /// the body, 0 behind it.
    std::uint8_t placement = 0;
};

/// A key drawn from the operating system's random source (getrandom(2)).
/// Throws std::system_error if that source fails, rather than fall back to
/// a guessable key.
ScrambleKey randomScrambleKey();

/// The scrambled text of `plain` under `key`; the empty text for an empty
/// `plain`. ScrambleText(p) is ScrambleTextWith(p, randomScrambleKey()).
std::string ScrambleTextWith(std::string_view plain, const ScrambleKey& key);

}  // namespace pelex::crypto
