#include "host/desktop_presence.h"

#include <QApplication>

namespace pelex::host {

DesktopPresence::DesktopPresence(HostWindow& window, const QDBusConnection& bus)
    : notifications_(bus, DesktopNotifications::Timeouts{}),
      alerts_(window, notifications_),
      tray_(PhoneTray::create(window)) {
    // With a tray to come back from, a hidden window is no reason to end.
    if (tray_) QApplication::setQuitOnLastWindowClosed(false);
}

}  // namespace pelex::host
