#pragma once
// UTF-8 (the terminal's text) to and from the wide text of the phone.

#include <stdexcept>
#include <string>
#include <string_view>

namespace pelex::crypto::tool {

/// Thrown by fromUtf8() for bytes that are not valid UTF-8.
class InvalidUtf8 : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The wide text of UTF-8 bytes. Throws InvalidUtf8.
std::u16string fromUtf8(std::string_view utf8);

/// The UTF-8 bytes of wide text; never fails for text made by fromAnsi().
std::string toUtf8(std::u16string_view wide);

}  // namespace pelex::crypto::tool
