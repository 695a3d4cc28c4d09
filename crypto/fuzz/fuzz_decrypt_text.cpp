// DecryptText on any input: never fails, and keeps its length and case
// promises. The same bytes, taken as a plain text, must come back through
// EncryptText and DecryptText.

#include "crypto/credential_text.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // First byte: the length of the key text that follows (up to 31).
    const std::size_t keySize = std::min<std::size_t>(data[0] % 32, size - 1);
    const std::string_view key(reinterpret_cast<const char*>(data + 1), keySize);
    const std::string_view rest(reinterpret_cast<const char*>(data + 1 + keySize), size - 1 - keySize);

    const std::string plain = pelex::crypto::DecryptText(rest, key);
    // At most eight bytes per whole group of sixteen characters, never a zero byte.
    if (plain.size() > 8 * (rest.size() / 16)) std::abort();
    if (plain.find('\0') != std::string::npos) std::abort();
    std::string lowered(rest);
    for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (pelex::crypto::DecryptText(lowered, key) != plain) std::abort();

    if (rest.find('\0') == std::string_view::npos) {
        const std::string hex = pelex::crypto::EncryptText(rest, key);
        std::string padded(rest);
        padded.append((6 - rest.size() % 6) % 6, ' ');
        if (pelex::crypto::DecryptText(hex, key) != padded) std::abort();
    }
    return 0;
}
