#pragma once
// Outcome codes of settings operations. The numbers are the ones the
// platform's registry functions use, so callers that keep "the status code of
// the last call" see familiar values (0 = success).

#include <cstdint>

namespace pelex::settings {

enum class Status : std::int32_t {
    Ok = 0,
    NotFound = 2,              // the key or the value does not exist
    AccessDenied = 5,          // e.g. deleting a root key
    InvalidParameter = 87,     // e.g. no such root
    BadPathname = 161,         // a key path with an empty component
    MoreData = 234,            // the value does not fit the caller's buffer
    StoreFailed = 1016,        // the database could not be read or written
    NoUnicodeTranslation = 1113,  // a text has no Windows-1252 form
};

/// The numeric code, as kept by callers in their status field.
constexpr std::int32_t code(Status s) noexcept { return static_cast<std::int32_t>(s); }

}  // namespace pelex::settings
