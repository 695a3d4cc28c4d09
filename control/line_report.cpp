// The line as the host is told of it: each change of the display, of the
// sign-in, and the calls that rang unanswered.

#include <QLabel>

#include <utility>

#include "control/pelex_msn.h"

namespace pelex::control {

bool Pelex_MSN::signedIn() const { return picLoginForm_->isHidden(); }

QString Pelex_MSN::displayText() const { return lblDisplay_->text(); }

QString Pelex_MSN::offeringCaller() const {
    if (lineState() != LineState::Incoming) return {};
    // "Line 1 INCOMING 1001": what follows the line's name and " INCOMING".
    const qsizetype prefix = QString::fromStdU16String(kLineNumber).size() + 9;
    return lblDisplay_->text().mid(prefix).trimmed();
}

// Called wherever the display or the sign-in changes. An offered call that
// the user has not dealt with (answer, decline, sign-out) and that is no
// longer offered rang unanswered.
void Pelex_MSN::tellLine() {
    std::optional<QString> missed;
    if (lineState() == LineState::Incoming) {
        const QString caller = offeringCaller();
        if (offeredBy_ && *offeredBy_ != caller) missed = offeredBy_;  // another call took its place
        offeredBy_ = caller;
    } else if (offeredBy_) {
        missed = std::exchange(offeredBy_, std::nullopt);
    }
    emit lineChanged();
    if (missed) emit callMissed(*missed);
}

}  // namespace pelex::control
