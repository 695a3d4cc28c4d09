#include "host/automation_adaptor.h"

#include <QDBusConnectionInterface>

#include "host/host_window.h"

namespace pelex::host {

namespace {

// Runs `method` on the control that is hosted when the action runs.
template <void (HostedControl::*method)()>
void later(HostWindow* window) {
    window->post([window] {
        if (auto* c = window->control()) (c->*method)();
    });
}

}  // namespace

AutomationAdaptor::AutomationAdaptor(HostWindow* window, const QDBusConnection& bus)
    : QDBusAbstractAdaptor(window), window_(window), bus_(bus) {}

void AutomationAdaptor::imgCall_Click() { later<&HostedControl::imgCall_Click>(window_); }
void AutomationAdaptor::imgDiscon_Click() { later<&HostedControl::imgDiscon_Click>(window_); }
void AutomationAdaptor::imgLogin_Click() { later<&HostedControl::imgLogin_Click>(window_); }
void AutomationAdaptor::imgOption_Click() { later<&HostedControl::imgOption_Click>(window_); }
void AutomationAdaptor::newRTC1() { later<&HostedControl::newRTC1>(window_); }
void AutomationAdaptor::UserControl_Terminate() { later<&HostedControl::UserControl_Terminate>(window_); }
void AutomationAdaptor::HideControl() {
    window_->post([w = window_] { w->hideControl(); });
}
void AutomationAdaptor::ShowControl() {
    window_->post([w = window_] { w->showControl(); });
}

QString AutomationAdaptor::Dial(const QString& numberOrLink, const QDBusMessage& call) {
    const bool onTheBus = call.type() == QDBusMessage::MethodCallMessage;
    if (onTheBus) call.setDelayedReply(true);
    const CallLink link = window_->dialLink(numberOrLink, [bus = bus_, call, onTheBus](const DialOutcome& outcome) {
        if (!onTheBus) return;
        if (outcome.taken()) bus.send(call.createReply(outcome.number));
        else
            bus.send(call.createErrorReply(QString::fromLatin1(outcome.kind == DialOutcome::Kind::LineBusy
                                                                   ? kDBusLineBusy
                                                                   : kDBusNotDialable),
                                           outcome.error));
    });
    return link.number;
}

void AutomationAdaptor::Present() {
    window_->post([w = window_] { w->present(); });
}

bool claimAutomationName(QDBusConnection& bus, bool& taken, QString& error) {
    taken = false;
    if (!bus.isConnected()) {
        error = QStringLiteral("no D-Bus session bus: ") + bus.lastError().message();
        return false;
    }
    if (bus.registerService(QString::fromLatin1(kDBusService))) return true;
    QDBusConnectionInterface* names = bus.interface();
    taken = names && names->isServiceRegistered(QString::fromLatin1(kDBusService)).value();
    error = QStringLiteral("cannot take the name ") + kDBusService + QStringLiteral(": ") + bus.lastError().message();
    return false;
}

bool publishAutomation(HostWindow* window, QDBusConnection& bus, QString& error) {
    if (!bus.isConnected()) {
        error = QStringLiteral("no D-Bus session bus: ") + bus.lastError().message();
        return false;
    }
    new AutomationAdaptor(window, bus);
    if (!bus.registerObject(kDBusObject, window)) {
        error = QStringLiteral("cannot register ") + kDBusObject + QStringLiteral(": ") + bus.lastError().message();
        return false;
    }
    return true;
}

}  // namespace pelex::host
