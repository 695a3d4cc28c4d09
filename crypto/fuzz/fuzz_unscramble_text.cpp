// UnscrambleText on any input: either the empty text or exactly one byte per
// body pair, never a crash. The same bytes, taken as a plain text, must come
// back through a scramble under a key drawn from the input.

#include "crypto/credential_text.h"
#include "crypto/scramble_key.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string plain = pelex::crypto::UnscrambleText(input);
    if (!plain.empty() && (size < 12 || size % 2 != 0 || plain.size() != (size - 10) / 2)) std::abort();

    if (size < 9) return 0;
    pelex::crypto::ScrambleKey key;
    constexpr char kDigits[] = "0123456789ABCDEF";
    for (std::size_t j = 0; j < 8; ++j) key.digits[j] = kDigits[data[j] & 0xF];
    key.placement = data[8];
    const std::string_view text = input.substr(9);
    const std::string back = pelex::crypto::UnscrambleText(pelex::crypto::ScrambleTextWith(text, key));
    if (back.size() != text.size()) std::abort();
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Only 255 at odd positions and 0 at even positions (from 1) change.
        const auto c = static_cast<unsigned char>(text[i]);
        const unsigned expected = (i % 2 == 0 && c == 255) ? 0 : (i % 2 == 1 && c == 0) ? 255 : c;
        if (static_cast<unsigned char>(back[i]) != expected) std::abort();
    }
    if (pelex::crypto::SurvivesScramble(text) != (back == text)) std::abort();
    return 0;
}
