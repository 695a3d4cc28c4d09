// Numbers handed to the phone from outside (a call link opened on the
// desktop, a script): put into the number box and dialled once the line is
// idle, which may be only after the user has signed in.

#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <utility>

#include "control/pelex_msn.h"

namespace pelex::control {

namespace {

// Longer than any telephone number with its extension digits.
constexpr qsizetype kMostDigits = 64;

bool isDialable(const QString& number) {
    if (number.isEmpty() || number.size() > kMostDigits) return false;
    for (const QChar c : number) {
        const bool digit = c >= u'0' && c <= u'9';
        if (!digit && c != u'+' && c != u'*' && c != u'#') return false;
    }
    return true;
}

// The engine's texts while the line is not ready for calls yet: registering,
// a failed registration, signing out (or nothing shown at all).
bool lineNotReady(const QString& caption) {
    return caption.isEmpty() || caption.endsWith(QStringLiteral(" is registering.")) ||
           caption == QStringLiteral("Number is rejected.") || caption == QStringLiteral("Number is not registered.") ||
           caption == QStringLiteral("Signing Out...");
}

}  // namespace

bool Pelex_MSN::dialNumber(const QString& number) {
    if (!isDialable(number)) return false;
    const QString caption = lblDisplay_->text();
    const bool signedIn = rtc_.engine && picLoginForm_->isHidden();
    if (signedIn && caption == QString::fromStdU16String(kIdleText)) {
        pendingDial_.clear();
        lblcall_->setText(number);
        imgCall_Click();
    } else if (signedIn && !lineNotReady(caption)) {
        // A call is under way: what the call button says then.
        message(u"Please disconnect the line before you make another call.", u"Calls");
    } else {
        pendingDial_ = number;
        lblcall_->setText(number);
    }
    return true;
}

// The line has become idle: dial the number that was waiting for it. Not
// from inside the engine's event, which raised the idle text: from the
// event loop, and only if the line is still idle then.
void Pelex_MSN::dialPendingNumber() {
    if (pendingDial_.isEmpty()) return;
    QTimer::singleShot(0, this, [this] {
        if (pendingDial_.isEmpty() || lblDisplay_->text() != QString::fromStdU16String(kIdleText)) return;
        lblcall_->setText(std::exchange(pendingDial_, {}));
        imgCall_Click();
    });
}

}  // namespace pelex::control
