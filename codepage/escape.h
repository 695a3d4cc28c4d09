#pragma once
// Text from elsewhere (a captured line, a stored value) shown on a terminal
// without letting it drive the terminal.
//
// Control characters (U+0000 to U+001F, U+007F to U+009F; escape sequences
// start with ESC or the C1 control CSI) are written as "\x" and two
// lower-case hex digits, and the backslash itself as "\\", so every escaped
// text reads back to exactly one original. Everything else stays as it is.

#include <string>
#include <string_view>

namespace pelex::codepage {

/// `text` with control characters and the backslash escaped.
std::u16string escapeControls(std::u16string_view text);

}  // namespace pelex::codepage
