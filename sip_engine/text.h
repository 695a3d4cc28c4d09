#pragma once
// Small text helpers of the engine.

#include <string>

namespace pelex::sip_engine {

/// `text` without leading and trailing space characters (tabs and other
/// white space stay).
std::u16string trimSpaces(const std::u16string& text);

/// The user part of a remote address: the text between the first and the
/// second ":" when there is a ":" (else the whole address), cut before its
/// first "@". "sip:1001@host" and "1001" both give "1001".
std::u16string userPart(const std::u16string& address);

/// `text` made safe as an XML attribute value between double quotes:
/// & < > " ' and tab, line feed, carriage return become references, so a
/// reader gets the text back unchanged; everything else stays.
std::u16string escapeXmlAttribute(const std::u16string& text);

/// A SIP request address from "user@host[:port]" (split at the last "@"):
/// "sip:", the user, "@" and the host. A user that is a telephone number
/// loses the separators it was written with (see phone_number); then every
/// character that may not stand in a SIP user part is written as %XX of its
/// UTF-8 bytes ("#" becomes "%23", a space "%20"; digits, letters, "+", "*"
/// and the other characters the user part allows stay). A text that already
/// starts with "sip:" or "sips:" is returned unchanged. Empty when there is
/// no user or no host to call.
std::string sipRequestAddress(const std::u16string& address);

}  // namespace pelex::sip_engine
