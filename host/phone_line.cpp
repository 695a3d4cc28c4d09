#include "host/phone_line.h"

#include "control/library/pelex_control_abi.h"

namespace pelex::host {

PhoneLine phoneLine(std::uint32_t state, const std::string& display, const std::string& caller) {
    PhoneLine line;
    switch (state) {
        case PELEX_LINE_NOT_READY: line.state = LineState::NotReady; break;
        case PELEX_LINE_IDLE: line.state = LineState::Idle; break;
        case PELEX_LINE_INCOMING: line.state = LineState::Incoming; break;
        case PELEX_LINE_BUSY: line.state = LineState::Busy; break;
        default: line.state = LineState::SignedOut; break;
    }
    line.display = shownText(display, 200);
    if (line.state == LineState::Incoming) line.caller = shownText(caller);
    return line;
}

QString shownText(const std::string& text, int most) {
    QString s = QString::fromUtf8(text);
    for (QChar& c : s)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
            c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    s = s.simplified();
    if (s.size() > most) {
        s.truncate(most - 1);
        if (s.back().isHighSurrogate()) s.chop(1);  // not half a character
        s += QChar(0x2026);                          // "…"
    }
    return s;
}

QString lineWords(const PhoneLine& line) {
    if (line.state == LineState::SignedOut) return QStringLiteral("Signed out.");
    return line.display;
}

}  // namespace pelex::host
