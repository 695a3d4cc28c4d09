#include "sip_engine/text.h"

#include <string_view>

#include "codepage/utf8.h"
#include "phone_number/phone_number.h"

namespace pelex::sip_engine {

std::u16string trimSpaces(const std::u16string& text) {
    const auto first = text.find_first_not_of(u' ');
    if (first == std::u16string::npos) return {};
    return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

std::u16string userPart(const std::u16string& address) {
    std::u16string part = address;
    if (const auto colon = address.find(u':'); colon != std::u16string::npos) {
        const auto next = address.find(u':', colon + 1);
        part = address.substr(colon + 1, next == std::u16string::npos ? std::u16string::npos : next - colon - 1);
    }
    return part.substr(0, part.find(u'@'));
}

std::u16string escapeXmlAttribute(const std::u16string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        switch (c) {
            case u'&': out += u"&amp;"; break;
            case u'<': out += u"&lt;"; break;
            case u'>': out += u"&gt;"; break;
            case u'"': out += u"&quot;"; break;
            case u'\'': out += u"&apos;"; break;
            // Attribute normalisation would turn these into spaces.
            case u'\t': out += u"&#9;"; break;
            case u'\n': out += u"&#10;"; break;
            case u'\r': out += u"&#13;"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

namespace {

// The user part's own characters: unreserved and user-unreserved.
bool userPartCharacter(unsigned char c) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    constexpr std::string_view kAllowed = "-_.!~*'()&=+$,;?/";
    return kAllowed.find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

std::string sipRequestAddress(const std::u16string& address) {
    const std::string text = codepage::toUtf8(address);
    if (text.rfind("sip:", 0) == 0 || text.rfind("sips:", 0) == 0) return text;
    const auto at = address.rfind(u'@');
    if (at == std::u16string::npos || at == 0 || at + 1 == address.size()) return {};
    // A telephone number goes without the separators it was written with.
    const std::u16string_view given = std::u16string_view(address).substr(0, at);
    const phone_number::Checked number = phone_number::check(given);
    const std::string user = codepage::toUtf8(number.ok() ? std::u16string_view(number.number) : given);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "sip:";
    for (unsigned char c : user) {
        if (userPartCharacter(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out + codepage::toUtf8(std::u16string_view(address).substr(at));
}

}  // namespace pelex::sip_engine
