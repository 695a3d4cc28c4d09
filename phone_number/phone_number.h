#pragma once
// Telephone numbers as the phone dials them: digits, "*" and "#", with a
// "+" only in front, written with or without the separators people use for
// the eye ("+1 (555) 010-0100"). One set of rules for every way a number
// comes in: the number box, a call link, a script's Dial, and the user part
// of the SIP request the engine sends.

#include <cstddef>
#include <string>
#include <string_view>

namespace pelex::phone_number {

/// No telephone number, extension digits included, comes near this many
/// characters.
inline constexpr std::size_t kLongest = 64;

/// True for the characters a number is written with for the eye only:
/// space, tab, "-", ".", "(" and ")".
bool isSeparator(char16_t c);

/// `text` without its separators; every other character stays.
std::u16string withoutSeparators(std::u16string_view text);

/// Why a text is no dialable number.
enum class Fault {
    None,
    NoNumber,      ///< nothing but separators, or a lone "+"
    Character,     ///< a character that is no digit, "*", "#" or "+" (see `character`)
    PlusNotFirst,  ///< a "+" after the first character
    TooLong,       ///< more than kLongest characters
};

struct Checked {
    std::u16string number;   ///< the dialable number; empty unless `fault` is None
    Fault fault = Fault::None;
    char32_t character = 0;  ///< the first character at fault (a whole code point)
    bool ok() const { return fault == Fault::None; }
};

/// Reads `text` as a telephone number: its separators dropped, the rest
/// must be digits, "*" and "#" with at most one "+" in front, and no more
/// than kLongest of them.
Checked check(std::u16string_view text);

/// True when `text` is a dialable number exactly as it stands (no
/// separators in it).
bool isDialable(std::u16string_view text);

}  // namespace pelex::phone_number
