#pragma once
// Windows-1252, the 8-bit code page of every text that leaves the phone.
//
// Inside the phone text is wide (UTF-16). Where it leaves (socket, settings
// store, cipher) each character becomes exactly one Windows-1252 byte, and
// bytes coming back become characters the same way.
//
// A character that Windows-1252 cannot hold is never replaced by a look-alike
// or by "?": toAnsi() throws UnrepresentableText instead, so a caller either
// refuses the text with a clear message or knows it is safe. fromAnsi() is
// total: the five bytes Windows-1252 leaves undefined (81, 8D, 8F, 90, 9D)
// come back as the C1 control characters of the same number, as Windows does,
// so every byte string survives fromAnsi() then toAnsi() unchanged.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pelex::codepage {

/// Thrown by toAnsi() for a character with no Windows-1252 byte.
class UnrepresentableText : public std::runtime_error {
public:
    UnrepresentableText(char16_t character, std::size_t position);
    /// The first UTF-16 unit that has no byte (a surrogate for characters
    /// beyond the Basic Multilingual Plane).
    char16_t character() const noexcept { return character_; }
    /// Its index in the wide text.
    std::size_t position() const noexcept { return position_; }

private:
    char16_t character_;
    std::size_t position_;
};

/// Wide text to Windows-1252 bytes, one byte per character.
/// Throws UnrepresentableText at the first character without a byte.
std::string toAnsi(std::u16string_view wide);

/// Windows-1252 bytes to wide text, one character per byte. Never fails.
std::u16string fromAnsi(std::string_view bytes);

/// True when toAnsi() would succeed.
bool isRepresentable(std::u16string_view wide) noexcept;

/// The Windows-1252 byte of one character, or -1 when it has none.
int ansiByte(char16_t character) noexcept;

}  // namespace pelex::codepage
