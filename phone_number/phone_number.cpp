#include "phone_number/phone_number.h"

namespace pelex::phone_number {

namespace {

bool isNumberCharacter(char16_t c) { return (c >= u'0' && c <= u'9') || c == u'*' || c == u'#' || c == u'+'; }

// The code point at `i` (a surrogate pair read whole).
char32_t codePointAt(std::u16string_view text, std::size_t i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
        return 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
    return c;
}

}  // namespace

bool isSeparator(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'-' || c == u'.' || c == u'(' || c == u')';
}

std::u16string withoutSeparators(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (const char16_t c : text)
        if (!isSeparator(c)) out.push_back(c);
    return out;
}

Checked check(std::u16string_view text) {
    std::u16string number;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (isSeparator(c)) continue;
        if (!isNumberCharacter(c)) return {{}, Fault::Character, codePointAt(text, i)};
        number.push_back(c);
    }
    if (number.empty() || number == u"+") return {{}, Fault::NoNumber};
    if (number.find(u'+', 1) != std::u16string::npos) return {{}, Fault::PlusNotFirst};
    if (number.size() > kLongest) return {{}, Fault::TooLong};
    return {std::move(number)};
}

bool isDialable(std::u16string_view text) {
    const Checked checked = check(text);
    return checked.ok() && checked.number == text;
}

}  // namespace pelex::phone_number
