#pragma once
// The seven root keys of the store: their names and the predefined handle
// numbers that stand for them.

#include <cstdint>
#include <optional>
#include <string_view>

namespace pelex::settings {

using RootKey = std::uint32_t;

inline constexpr RootKey kClassesRoot = 0x80000000u;
inline constexpr RootKey kCurrentUser = 0x80000001u;
inline constexpr RootKey kLocalMachine = 0x80000002u;
inline constexpr RootKey kUsers = 0x80000003u;
inline constexpr RootKey kPerformanceData = 0x80000004u;
inline constexpr RootKey kCurrentConfig = 0x80000005u;
inline constexpr RootKey kDynData = 0x80000006u;

/// The handle of a root name ("HKEY_LOCAL_MACHINE" etc.), compared exactly and
/// case-sensitively; 0 when the name is not one of the seven.
RootKey rootKeyOf(std::u16string_view name) noexcept;
RootKey rootKeyOf(std::string_view name) noexcept;

/// The name of a root handle, or nullopt when it is not one of the seven.
std::optional<std::string_view> rootNameOf(RootKey root) noexcept;

}  // namespace pelex::settings
