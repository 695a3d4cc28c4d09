#pragma once
// Type codes of stored values. The store keeps every value as raw bytes with
// its type code, the way the platform's registry does; these are the codes
// the phone and its tools name. Any other code is kept and listed as given.

#include <cstdint>
#include <string_view>

namespace pelex::settings {

using ValueType = std::uint32_t;

inline constexpr ValueType kString = 1;        // Windows-1252 text with its terminating zero
inline constexpr ValueType kExpandString = 2;  // the same, with %VARIABLE% references
inline constexpr ValueType kBinary = 3;        // raw bytes
inline constexpr ValueType kDword = 4;         // 32-bit number, little-endian
inline constexpr ValueType kMultiString = 7;   // zero-terminated texts, then one more zero

/// A short name for a type code ("REG_SZ", ...), or empty for codes without one.
std::string_view valueTypeName(ValueType type) noexcept;

}  // namespace pelex::settings
