#pragma once
// The installer's value reader: a key's values as the installer reads them,
// in the store's enumeration order.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/store.h"

namespace pelex::installer {

/// The longest value name the reader takes, and the most data bytes.
inline constexpr std::size_t kMaxNameLength = 511;
inline constexpr std::size_t kMaxDataLength = 32767;

struct RegistryValue {
    std::string name;        // Windows-1252 bytes, never empty
    std::uint32_t type = 0;  // the type code
    /// Types 3, 8, 9 and 10: every byte as two upper-case hex digits and a
    /// space ("0A FF "); nullopt when the data is empty or for other types.
    std::optional<std::string> hex;
    /// Type 4: the data as a 32-bit little-endian number (0 otherwise).
    std::int32_t number = 0;
    /// Types 1 and 2: the data without its last byte (taken for the
    /// terminator). Type 7: every zero byte as a carriage return, the last
    /// two bytes dropped. Empty for no data (fewer than 2 bytes for type 7)
    /// and for other types.
    std::string text;
    /// True when the data is longer than kMaxDataLength: nothing of it is read.
    bool oversized = false;
};

/// The values of `subKey` under `root` (the empty path is the root itself) in
/// enumeration order. Values with an empty name (the key's default value) and
/// names longer than kMaxNameLength are left out. Empty when the key cannot
/// be opened.
std::vector<RegistryValue> readValues(settings::Store& store, settings::RootKey root, std::string_view subKey);

/// One value read by the rules above (name and limits not checked).
RegistryValue interpret(const settings::Value& value);

}  // namespace pelex::installer
