#include "sip_engine/text.h"

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

}  // namespace pelex::sip_engine
