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

}  // namespace pelex::sip_engine
