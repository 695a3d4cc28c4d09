#pragma once
// UTF-8, the text of terminals, file names, D-Bus and the SIP stack, to and
// from the phone's wide text (UTF-16), and on to the Windows-1252 bytes of
// the settings store. The one conversion every part of the phone uses.

#include <optional>
#include <string>
#include <string_view>

namespace pelex::codepage {

/// The UTF-8 bytes of wide text. An unpaired surrogate, which stands for no
/// character, becomes U+FFFD.
std::string toUtf8(std::u16string_view wide);

/// The wide text of UTF-8 bytes; nothing when they are not valid UTF-8
/// (overlong forms, encoded surrogates, code points beyond U+10FFFF and
/// truncated sequences included).
std::optional<std::u16string> fromUtf8(std::string_view utf8);

/// The wide text of UTF-8 bytes that may be broken (a server's reason
/// phrase, a name from the network): every byte that does not start a valid
/// sequence becomes U+FFFD and the rest reads as it stands.
std::u16string fromUtf8Lossy(std::string_view utf8);

/// Windows-1252 bytes of UTF-8 text; nothing when it is not valid UTF-8 or
/// holds a character Windows-1252 has no byte for.
std::optional<std::string> utf8ToAnsi(std::string_view utf8);

/// UTF-8 of Windows-1252 bytes (never fails).
std::string ansiToUtf8(std::string_view ansi);

}  // namespace pelex::codepage
