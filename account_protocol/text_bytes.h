#pragma once
// Wide text to and from the Windows-1252 bytes the wire and the cipher use.

#include <QString>

#include <string>
#include <string_view>

#include "codepage/codepage.h"

namespace pelex::account_protocol {

/// Throws codepage::UnrepresentableText for a character without a byte.
inline std::string toAnsi(const QString& text) { return codepage::toAnsi(text.toStdU16String()); }

/// Never fails: every byte has a character.
QString fromAnsi(std::string_view bytes);

inline bool isRepresentable(const QString& text) {
    return codepage::isRepresentable(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                         static_cast<std::size_t>(text.size())));
}

}  // namespace pelex::account_protocol
