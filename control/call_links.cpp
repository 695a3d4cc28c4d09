// Numbers handed to the phone from outside (a call link opened on the
// desktop, a script): put into the number box and dialled once the line is
// idle, which may be only after the user has signed in. Only while the user
// is plausibly waiting for that call, though: a number that would go out
// long after it was asked for (a registration that succeeds an hour later)
// or after the user has typed into the box stays in the box undialled.

#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "control/pelex_msn.h"
#include "phone_number/phone_number.h"

namespace pelex::control {

LineState Pelex_MSN::lineState() const {
    if (!rtc_.engine || !picLoginForm_->isHidden()) return LineState::NotReady;
    return lineStateOf(lblDisplay_->text().toStdU16String());
}

Pelex_MSN::LinkDial Pelex_MSN::dialNumber(const QString& number) {
    if (!phone_number::isDialable(number.toStdU16String())) return LinkDial::NotANumber;
    switch (lineState()) {
        case LineState::Idle:
            pendingLink_.reset();
            lblcall_->setText(number);
            imgCall_Click();
            return LinkDial::Dialling;
        case LineState::Incoming:
        case LineState::Busy:
            // What the call button says then; shown once the caller has its answer.
            QTimer::singleShot(0, this, [this] {
                message(u"Please disconnect the line before you make another call.", u"Calls");
            });
            return LinkDial::LineBusy;
        case LineState::NotReady: break;
    }
    pendingLink_ = PendingLink{number, services_.clock->steadyNow() + kLinkWaitsFor};
    lblcall_->setText(number);
    return LinkDial::Waiting;
}

// The user signs in (or has signed in) for the number that waits: it may
// still be dialled within the wait from now, and it is what the box shows.
void Pelex_MSN::renewPendingNumber() {
    if (!pendingLink_) return;
    pendingLink_->dialBy = services_.clock->steadyNow() + kLinkWaitsFor;
    lblcall_->setText(pendingLink_->number);
}

// The user edits the number box, or signs out: the number that waited is not
// dialled on its own any more.
void Pelex_MSN::forgetPendingNumber() { pendingLink_.reset(); }

// The line has become idle: dial the number that was waiting for it, if it
// is not too late. Not from inside the engine's event, which raised the idle
// text: from the event loop, and only if the line is still idle then.
void Pelex_MSN::dialPendingNumber() {
    if (!pendingLink_) return;
    QTimer::singleShot(0, this, [this] {
        if (!pendingLink_ || lineState() != LineState::Idle) return;
        const PendingLink link = *std::exchange(pendingLink_, std::nullopt);
        if (services_.clock->steadyNow() > link.dialBy || lblcall_->text() != link.number) return;
        imgCall_Click();
    });
}

}  // namespace pelex::control
