#include "network/sleep_watch.h"

#include <QDBusConnection>

namespace pelex::network {

SleepWatch::SleepWatch(std::function<void(SleepEvent)> handler) : handler_(std::move(handler)) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return;
    // The signal counts only from the owner of logind's name, whenever it
    // appears on the bus.
    listening_ = bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                             QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                             this, SLOT(prepareForSleep(bool)));
}

void SleepWatch::prepareForSleep(bool start) {
    if (handler_) handler_(start ? SleepEvent::GoingToSleep : SleepEvent::Resumed);
}

}  // namespace pelex::network
