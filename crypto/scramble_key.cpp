#include "crypto/scramble_key.h"

#include <sys/random.h>

#include <cerrno>
#include <cstddef>
#include <system_error>

namespace pelex::crypto {

ScrambleKey randomScrambleKey() {
    // getrandom(2) with no flags reads the kernel's urandom pool and waits
    // only until it has been seeded once at boot.
    std::uint8_t raw[9];
    std::size_t got = 0;
    while (got < sizeof raw) {
        const ssize_t n = getrandom(raw + got, sizeof raw - got, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "getrandom");
        }
        got += static_cast<std::size_t>(n);
    }
    constexpr char kDigits[] = "0123456789ABCDEF";
    ScrambleKey key;
    // The low four bits of a uniform byte are uniform over the 16 digits.
    for (std::size_t j = 0; j < key.digits.size(); ++j) key.digits[j] = kDigits[raw[j] & 0xF];
    key.placement = raw[8];
    return key;
}

}  // namespace pelex::crypto
