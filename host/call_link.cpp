#include "host/call_link.h"

#include <QByteArray>

namespace pelex::host {

namespace {

// No telephone number, extension digits included, comes near this.
constexpr qsizetype kMostDigits = 64;
// Nor does a link that carries one (parameters included).
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
    out = QString::fromUtf8(bytes);
    return out.toUtf8() == bytes;  // invalid UTF-8 does not survive the round trip
}

bool isSeparator(QChar c) { return c == u'-' || c == u'.' || c == u'(' || c == u')' || c == u' '; }

// The number in `part` with its visual separators dropped, or a refusal.
CallLink number(const QString& link, const QString& part) {
    QString digits;
    for (const QChar c : part) {
        if (isSeparator(c)) continue;
        if ((c >= u'0' && c <= u'9') || c == u'*' || c == u'#' || c == u'+') {
            digits += c;
            continue;
        }
        if (c.isLetter()) return refuse(link, QStringLiteral("it names no telephone number (\"%1\" is a letter).").arg(c));
        if (c.unicode() < 32 || c.unicode() == 127) return refuse(link, QStringLiteral("it holds a control character."));
        return refuse(link, QStringLiteral("\"%1\" is not a digit, \"+\", \"*\" or \"#\".").arg(c));
    }
    if (digits.isEmpty()) return refuse(link, QStringLiteral("it holds no number."));
    if (digits.lastIndexOf(u'+') > 0) return refuse(link, QStringLiteral("\"+\" may only begin the number."));
    if (digits == QStringLiteral("+")) return refuse(link, QStringLiteral("it holds no number."));
    if (digits.size() > kMostDigits)
        return refuse(link, QStringLiteral("the number is longer than %1 digits.").arg(kMostDigits));
    return {digits, {}};
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
