#include "host/call_link.h"

#include <QByteArray>

#include "codepage/utf8.h"
#include "phone_number/phone_number.h"

namespace pelex::host {

namespace {

// No link that carries a telephone number (parameters included) comes near this.
constexpr qsizetype kLongestLink = 2048;

CallLink refuse(const QString& text, const QString& why) {
    QString shown = text.left(80);
    if (text.size() > 80) shown += QStringLiteral("...");
    return {{}, QStringLiteral("\"%1\" cannot be dialled: %2").arg(shown, why)};
}

int hexValue(QChar c) {
    if (c >= u'0' && c <= u'9') return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
    return -1;
}

// Decodes %XX escapes as UTF-8; false for a broken escape or bytes that are
// not UTF-8.
bool percentDecode(const QString& in, QString& out) {
    QByteArray bytes;
    const QByteArray raw = in.toUtf8();
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != '%') {
            bytes.append(raw[i]);
            continue;
        }
        if (i + 2 >= raw.size()) return false;
        const int hi = hexValue(QChar(raw[i + 1])), lo = hexValue(QChar(raw[i + 2]));
        if (hi < 0 || lo < 0) return false;
        bytes.append(char(hi * 16 + lo));
        i += 2;
    }
    const auto wide = codepage::fromUtf8(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (!wide) return false;
    out = QString::fromStdU16String(*wide);
    return true;
}

// The number in `part`, or a refusal that says what is wrong with it.
CallLink number(const QString& link, const QString& part) {
    const phone_number::Checked checked = phone_number::check(part.toStdU16String());
    switch (checked.fault) {
        case phone_number::Fault::None: return {QString::fromStdU16String(checked.number), {}};
        case phone_number::Fault::NoNumber: return refuse(link, QStringLiteral("it holds no number."));
        case phone_number::Fault::PlusNotFirst: return refuse(link, QStringLiteral("\"+\" may only begin the number."));
        case phone_number::Fault::TooLong:
            return refuse(link, QStringLiteral("the number is longer than %1 digits.").arg(phone_number::kLongest));
        case phone_number::Fault::Character: break;
    }
    const char32_t c = checked.character;
    const QString shown = QString::fromUcs4(&c, 1);
    if (QChar::isLetter(c))
        return refuse(link, QStringLiteral("it names no telephone number (\"%1\" is a letter).").arg(shown));
    if (c < 32 || c == 127) return refuse(link, QStringLiteral("it holds a control character."));
    return refuse(link, QStringLiteral("\"%1\" is not a digit, \"+\", \"*\" or \"#\".").arg(shown));
}

// `text` up to the first of `stops`.
QString before(const QString& text, const QString& stops) {
    for (qsizetype i = 0; i < text.size(); ++i)
        if (stops.contains(text[i])) return text.left(i);
    return text;
}

}  // namespace

CallLink parseCallLink(const QString& given) {
    const QString text = given.trimmed();
    if (text.isEmpty()) return refuse(text, QStringLiteral("it is empty."));
    if (text.size() > kLongestLink) return refuse(text, QStringLiteral("it is too long."));

    const qsizetype colon = text.indexOf(u':');
    const QString scheme = colon < 0 ? QString() : text.left(colon).toLower();
    QString body = colon < 0 ? text : text.mid(colon + 1);
    if (colon >= 0 && scheme != QStringLiteral("tel") && scheme != QStringLiteral("sip") &&
        scheme != QStringLiteral("sips") && scheme != QStringLiteral("callto"))
        return refuse(text, QStringLiteral("only tel:, sip: and callto: links are call links."));

    if (scheme == QStringLiteral("callto") && body.startsWith(QStringLiteral("//"))) body = body.mid(2);
    if (scheme.startsWith(QStringLiteral("sip"))) {
        // user[:password]@host;params?headers: the user part is the number
        // (its own ";" parameters dropped too, as those of a tel: link).
        const qsizetype at = body.indexOf(u'@');
        body = at >= 0 ? body.left(at) : before(body, QStringLiteral(";?"));
        body = before(body, QStringLiteral(":;"));
    } else {
        // tel: number;params (a phone-context only says where a local number belongs)
        body = before(body, QStringLiteral(";?"));
        if (scheme == QStringLiteral("callto")) body = before(body, QStringLiteral("/"));
    }
    QString decoded;
    if (!percentDecode(body, decoded)) return refuse(text, QStringLiteral("it holds a broken %-escape."));
    return number(text, decoded);
}

}  // namespace pelex::host
