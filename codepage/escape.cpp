#include "codepage/escape.h"

namespace pelex::codepage {
namespace {

bool isControl(char16_t c) { return c < 0x20 || (c >= 0x7f && c <= 0x9f); }

}  // namespace

std::u16string escapeControls(std::u16string_view text) {
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c == u'\\') {
            out += u"\\\\";
        } else if (isControl(c)) {
            out += u"\\x";
            out.push_back(kDigits[c >> 4]);
            out.push_back(kDigits[c & 15]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace pelex::codepage
