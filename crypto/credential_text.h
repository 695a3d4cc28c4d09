#pragma once
// The two text forms that protect credentials.
//
// Skipjack text (EncryptText / DecryptText): credentials on the account
// server's wire, as upper-case hexadecimal text of Skipjack blocks (ECB,
// six characters and two zero bytes per block) under a key taken from a key
// text that travels beside them.
//
// Scrambled text (ScrambleText / UnscrambleText): the keyless, reversible
// disguise of the saved profile; each result carries its own random
// eight-digit key.
//
// All four work on Windows-1252 bytes (see codepage/codepage.h): callers
// convert wide text with codepage::toAnsi() before and fromAnsi() after.

#include <string>
#include <string_view>

namespace pelex::crypto {

/// Enciphers `plain` under the key taken from `keyText`; 16 hex digits per
/// started chunk of six bytes. The empty text gives the empty text.
std::string EncryptText(std::string_view plain, std::string_view keyText);

/// Deciphers each complete group of 16 characters (hex digits of either
/// case; any other character counts as digit 0); a block's bytes end at its
/// first zero byte; a shorter remainder is ignored. Never fails.
std::string DecryptText(std::string_view hex, std::string_view keyText);

/// Scrambles `plain` under a fresh random key; 2n + 10 hex digits, the
/// empty text for an empty `plain`. The key comes from the operating
/// system's random source; should that fail, throws std::system_error
/// rather than use a guessable key.
std::string ScrambleText(std::string_view plain);

/// Reverses ScrambleText; the empty text for any malformed input.
std::string UnscrambleText(std::string_view scrambled);

/// False when `plain` holds a byte that ScrambleText cannot carry back: 255
/// at a 1st, 3rd, 5th... position (it returns as 0) or 0 at a 2nd, 4th...
/// position (it returns as 255). Callers that must not lose data check this
/// before they store a scrambled text.
bool SurvivesScramble(std::string_view plain) noexcept;

}  // namespace pelex::crypto
