#pragma once
// Hexadecimal text as the phone writes and reads it: two upper-case digits
// per byte, high digit first; readers accept either case.

#include <cstdint>
#include <string>

namespace pelex::crypto {

/// Appends the two upper-case hex digits of `byte` to `out`.
inline void appendHexByte(std::string& out, std::uint8_t byte) {
    constexpr char digits[] = "0123456789ABCDEF";
    out.push_back(digits[byte >> 4]);
    out.push_back(digits[byte & 0xF]);
}

/// The value 0..15 of a hex digit of either case, or -1 for any other byte.
constexpr int hexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace pelex::crypto
