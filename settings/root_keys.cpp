#include "settings/root_keys.h"

#include <algorithm>
#include <array>
#include <utility>

namespace pelex::settings {
namespace {

constexpr std::array<std::pair<std::string_view, RootKey>, 7> kRoots{{
    {"HKEY_CLASSES_ROOT", kClassesRoot},
    {"HKEY_CURRENT_USER", kCurrentUser},
    {"HKEY_LOCAL_MACHINE", kLocalMachine},
    {"HKEY_USERS", kUsers},
    {"HKEY_PERFORMANCE_DATA", kPerformanceData},
    {"HKEY_CURRENT_CONFIG", kCurrentConfig},
    {"HKEY_DYN_DATA", kDynData},
}};

}  // namespace

RootKey rootKeyOf(std::string_view name) noexcept {
    for (const auto& [n, h] : kRoots) {
        if (n == name) return h;
    }
    return 0;
}

RootKey rootKeyOf(std::u16string_view name) noexcept {
    // Root names are plain ASCII, so a unit-by-unit comparison is exact.
    for (const auto& [n, h] : kRoots) {
        if (n.size() == name.size() &&
            std::equal(n.begin(), n.end(), name.begin(),
                       [](char a, char16_t b) { return static_cast<char16_t>(a) == b; })) {
            return h;
        }
    }
    return 0;
}

std::optional<std::string_view> rootNameOf(RootKey root) noexcept {
    for (const auto& [n, h] : kRoots) {
        if (h == root) return n;
    }
    return std::nullopt;
}

}  // namespace pelex::settings
