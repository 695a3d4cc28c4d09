#include "host/automation_adaptor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include "host/host_window.h"

namespace pelex::host {

AutomationAdaptor::AutomationAdaptor(HostWindow* window) : QDBusAbstractAdaptor(window), window_(window) {}

void AutomationAdaptor::imgCall_Click() {
    if (auto* c = window_->control()) c->imgCall_Click();
}
void AutomationAdaptor::imgDiscon_Click() {
    if (auto* c = window_->control()) c->imgDiscon_Click();
}
void AutomationAdaptor::imgLogin_Click() {
    if (auto* c = window_->control()) c->imgLogin_Click();
}
void AutomationAdaptor::imgOption_Click() {
    if (auto* c = window_->control()) c->imgOption_Click();
}
void AutomationAdaptor::newRTC1() {
    if (auto* c = window_->control()) c->newRTC1();
}
void AutomationAdaptor::UserControl_Terminate() {
    if (auto* c = window_->control()) c->UserControl_Terminate();
}
void AutomationAdaptor::HideControl() { window_->hideControl(); }
void AutomationAdaptor::ShowControl() { window_->showControl(); }

bool publishAutomation(HostWindow* window, QString& error) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        error = QStringLiteral("no D-Bus session bus: ") + bus.lastError().message();
        return false;
    }
    new AutomationAdaptor(window);
    if (!bus.registerObject(kDBusObject, window)) {
        error = QStringLiteral("cannot register ") + kDBusObject + QStringLiteral(": ") + bus.lastError().message();
        return false;
    }
    if (!bus.registerService(kDBusService)) {
        error = QStringLiteral("cannot take the name ") + kDBusService + QStringLiteral(": ") +
                bus.lastError().message();
        return false;
    }
    return true;
}

}  // namespace pelex::host
