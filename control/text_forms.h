#pragma once
// Small text forms the control shows or sends: the sign-in key text, the
// call timer and the parts of the server's login code.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace pelex::control {

/// Returns the key text of a sign-in: the local date and time in the form
/// "M/D/YYYY h:mm:ss AM" (month, day and hour without leading zeros,
/// 12-hour clock, "AM" or "PM"), for example "12/8/2026 4:05:09 PM".
std::u16string decodeKeyText(const platform::LocalDateTime& t);

/// Returns `seconds` of call time as "HH:MM:SS"; whole days are dropped, so
/// the text wraps to "00:00:00" after 24 hours. Negative counts read as 0.
std::u16string callTimeText(std::int64_t seconds);

/// The three fields of a login code.
struct LoginCodeFields {
    std::u16string encipheredPassword;  ///< field 1, untrimmed
    std::u16string serverIP;            ///< field 2, trimmed of spaces
    std::u16string port;                ///< field 3, trimmed of spaces
};

/// Splits a login code at every ","; fields after the third are ignored.
/// Returns nothing for the empty text and for a code of fewer than three
/// fields, both of which mean the login failed.
std::optional<LoginCodeFields> parseLoginCode(const std::u16string& code);

/// Returns `s` without leading and trailing spaces (only U+0020, as the
/// control's boxes are trimmed).
std::u16string trimSpaces(const std::u16string& s);

}  // namespace pelex::control
