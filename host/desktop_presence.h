#pragma once
// What the phone shows outside its window: call notifications on the session
// bus's notification server and, where the desktop has a tray, its icon.

#include <QDBusConnection>

#include <memory>

#include "host/call_alerts.h"
#include "host/desktop_notifications.h"
#include "host/phone_tray.h"

namespace pelex::host {

class HostWindow;

class DesktopPresence {
public:
    /// For `window` (which outlives this), with the notification server on `bus`.
    DesktopPresence(HostWindow& window, const QDBusConnection& bus);

    bool hasTray() const { return tray_ != nullptr; }
    CallAlerts& alerts() { return alerts_; }

private:
    DesktopNotifications notifications_;
    CallAlerts alerts_;
    std::unique_ptr<PhoneTray> tray_;
};

}  // namespace pelex::host
