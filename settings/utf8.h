#pragma once
// UTF-8 (terminal text, file names) to and from the phone's wide text, and
// from there to the Windows-1252 bytes the store keeps.

#include <optional>
#include <string>
#include <string_view>

namespace pelex::settings {

/// Wide text from UTF-8; nullopt when the bytes are not valid UTF-8
/// (overlong forms, surrogates and truncated sequences included).
std::optional<std::u16string> utf8ToWide(std::string_view utf8);

/// UTF-8 from wide text; an unpaired surrogate becomes U+FFFD.
std::string wideToUtf8(std::u16string_view wide);

/// Windows-1252 bytes from UTF-8; nullopt when the text is not valid UTF-8
/// or has a character Windows-1252 cannot hold.
std::optional<std::string> utf8ToAnsi(std::string_view utf8);

/// UTF-8 from Windows-1252 bytes (never fails).
std::string ansiToUtf8(std::string_view ansi);

}  // namespace pelex::settings
