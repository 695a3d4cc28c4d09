#include "host/call_alerts.h"

#include "host/host_window.h"

namespace pelex::host {

namespace {

Notification incomingCall(const QString& caller) {
    Notification n;
    n.summary = QStringLiteral("Incoming call");
    n.body = caller;
    n.actions = {QStringLiteral("answer"), QStringLiteral("Answer"), QStringLiteral("decline"), QStringLiteral("Decline")};
    n.urgency = 2;
    n.category = QStringLiteral("call.incoming");
    n.silent = true;  // the phone rings itself
    return n;
}

Notification missedCalls(const MissedCalls& missed) {
    const auto& latest = missed.calls().front();
    Notification n;
    n.summary = QStringLiteral("Missed call from %1").arg(latest.caller);
    n.body = QStringLiteral("at %1").arg(latest.at.toString(QStringLiteral("HH:mm")));
    if (missed.unseen() > 1) n.body += QStringLiteral(" (%1)").arg(missed.countText());
    n.actions = {QStringLiteral("default"), QStringLiteral("Show")};
    n.category = QStringLiteral("call.unanswered");
    return n;
}

}  // namespace

CallAlerts::CallAlerts(HostWindow& window, DesktopNotifications& notifications, QObject* parent)
    : QObject(parent), window_(window), notifications_(notifications) {
    deadline_.setSingleShot(true);
    deadline_.setInterval(kShowWithin);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        if (offer_ && !(offer_->notification && notifications_.isShown(offer_->notification)))
            raiseInstead("the notification server has not shown it in time");
    });
    connect(&window_, &HostWindow::lineChanged, this, &CallAlerts::onLine);
    connect(&window_, &HostWindow::callMissed, this, &CallAlerts::onMissed);
    connect(&window_, &HostWindow::activationChanged, this, &CallAlerts::onWindowActivation);
    connect(&window_.missedCalls(), &MissedCalls::changed, this, &CallAlerts::onMissedSeen);
    connect(&notifications_, &DesktopNotifications::actionInvoked, this, &CallAlerts::onAction);
    connect(&notifications_, &DesktopNotifications::closed, this, &CallAlerts::onClosed);
    connect(&notifications_, &DesktopNotifications::serverChanged, this, &CallAlerts::onServerChanged);
    connect(&notifications_, &DesktopNotifications::answered, this, [this](DesktopNotifications::Handle h, bool shown) {
        if (!offer_ || h != offer_->notification) return;
        if (!shown) raiseInstead("the notification server did not show it");
        else emit told(QStringLiteral("the call from %1 is shown in a desktop notification after %2 ms")
                           .arg(offer_->caller)
                           .arg(offer_->since.elapsed()));
    });
    onLine(window_.line());
}

// A call still offered when the phone goes loses its notification with it.
CallAlerts::~CallAlerts() { endOffer(); }

void CallAlerts::onLine(const PhoneLine& line) {
    if (line.state != LineState::Incoming) {
        endOffer();
        return;
    }
    if (offer_ && offer_->caller == line.caller) return;
    endOffer();
    offer_.emplace();
    offer_->caller = line.caller;
    offer_->since.start();
    alert();
}

// Tells the user of the offered call, unless the window is in front or the
// user has been told already.
void CallAlerts::alert() {
    if (!offer_ || offer_->alerted || window_.isActiveWindow()) return;
    switch (notifications_.server()) {
        case DesktopNotifications::Server::Present:
            if (!notifications_.offersActions()) {
                raiseInstead("the notification server shows no actions");
                return;
            }
            offer_->notification = notifications_.show(incomingCall(offer_->caller));
            offer_->alerted = true;
            deadline_.start();
            return;
        case DesktopNotifications::Server::Asking:
            // Decided when the server says what it offers, or at the deadline.
            if (!deadline_.isActive()) deadline_.start();
            return;
        case DesktopNotifications::Server::Absent:
            raiseInstead("there is no notification server");
            notifications_.ask();  // a server may have come since; for the next call
            return;
    }
}

void CallAlerts::raiseInstead(const char* why) {
    deadline_.stop();
    if (!offer_ || offer_->raised || window_.isActiveWindow()) return;
    offer_->alerted = offer_->raised = true;
    window_.raiseWithoutFocus();
    emit told(QStringLiteral("the window came to the front for the call from %1: %2").arg(offer_->caller, QLatin1String(why)));
}

void CallAlerts::endOffer() {
    deadline_.stop();
    if (offer_ && offer_->notification) notifications_.close(offer_->notification);
    offer_.reset();
}

void CallAlerts::onServerChanged() {
    if (offer_ && !offer_->alerted) alert();
}

void CallAlerts::onWindowActivation() {
    if (!window_.isActiveWindow()) alert();
}

// Answer and Decline act only on the call their notification is about, and
// only while it is still offered: on an ended call they do nothing (the call
// button would otherwise dial).
void CallAlerts::onAction(DesktopNotifications::Handle h, const QString& key) {
    if (h == missed_ && key == QStringLiteral("default")) {
        window_.present();
        return;
    }
    if (!offer_ || h != offer_->notification || window_.line().state != LineState::Incoming) return;
    HostedControl* control = window_.control();
    if (!control) return;
    if (key == QStringLiteral("answer")) {
        control->imgCall_Click();
        window_.raiseWithoutFocus();  // the hang-up button at hand
    } else if (key == QStringLiteral("decline")) {
        control->imgDiscon_Click();
    }
}

void CallAlerts::onClosed(DesktopNotifications::Handle h, DesktopNotifications::Gone why) {
    using Gone = DesktopNotifications::Gone;
    if (h == missed_) missed_ = 0;
    if (!offer_ || h != offer_->notification) return;
    offer_->notification = 0;
    // Dismissed by the user: the phone keeps ringing, nothing more. Taken
    // away otherwise while the call still rings: the window tells of it instead.
    if (why == Gone::ServerGone) raiseInstead("the notification server went away");
    else if (why == Gone::Expired) raiseInstead("the notification server took the notification away");
}

void CallAlerts::onMissed(const QString&) {
    if (window_.missedCalls().calls().empty()) return;
    missed_ = notifications_.show(missedCalls(window_.missedCalls()), missed_);
}

void CallAlerts::onMissedSeen() {
    if (window_.missedCalls().unseen() == 0 && missed_) {
        notifications_.close(missed_);
        missed_ = 0;
    }
}

}  // namespace pelex::host
