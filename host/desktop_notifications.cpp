#include "host/desktop_notifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QTimer>
#include <QVariantMap>

namespace pelex::host {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The name and icon of the phone's menu entry, so the desktop can group
// and draw its notifications.
const QString kAppName = QStringLiteral("Pelex soft phone");
const QString kDesktopEntry = QStringLiteral("pelex-softphone");

int ms(std::chrono::milliseconds d) { return static_cast<int>(d.count()); }

}  // namespace

DesktopNotifications::DesktopNotifications(const QDBusConnection& bus, Timeouts timeouts, QObject* parent)
    : QObject(parent), bus_(bus), timeouts_(timeouts) {
    if (!bus_.isConnected()) return;
    watcher_ = new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this, &DesktopNotifications::onOwnerChanged);
    // Only the owner of the server's name is listened to: nobody else on the
    // bus can answer a call by sending these signals.
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(onActionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(onNotificationClosed(uint, uint)));
    ask();
}

DesktopNotifications::~DesktopNotifications() {
    if (!bus_.isConnected()) return;
    bus_.disconnect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                    SLOT(onActionInvoked(uint, QString)));
    bus_.disconnect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                    SLOT(onNotificationClosed(uint, uint)));
}

void DesktopNotifications::ask() {
    if (!bus_.isConnected() || asking_) return;
    asking_ = true;
    if (server_ != Server::Present) server_ = Server::Asking;
    // Asking also starts a server that the bus starts on demand.
    const auto call = bus_.asyncCall(
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities")),
        ms(timeouts_.capabilities));
    connect(new QDBusPendingCallWatcher(call, this), &QDBusPendingCallWatcher::finished, this,
            &DesktopNotifications::onCapabilities);
}

void DesktopNotifications::onCapabilities(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    asking_ = false;
    const QDBusPendingReply<QStringList> reply = *call;
    if (reply.isError()) {
        server_ = Server::Absent;
        actions_ = markup_ = false;
    } else {
        server_ = Server::Present;
        actions_ = reply.value().contains(QStringLiteral("actions"));
        markup_ = reply.value().contains(QStringLiteral("body-markup"));
    }
    emit serverChanged();
}

// The server went (or another took its place): what it showed went with it.
void DesktopNotifications::onOwnerChanged(const QString&, const QString& oldOwner, const QString& newOwner) {
    if (!oldOwner.isEmpty()) {
        const auto lost = entries_.keys();
        entries_.clear();
        server_ = Server::Absent;
        actions_ = markup_ = false;
        for (const Handle h : lost) emit closed(h, Gone::ServerGone);
        emit serverChanged();
    }
    if (!newOwner.isEmpty()) ask();
}

DesktopNotifications::Handle DesktopNotifications::show(const Notification& n, Handle replaces) {
    const Handle h = next_++;
    if (!bus_.isConnected() || server_ == Server::Absent) {
        // Told from the event loop, after the caller has its handle.
        QTimer::singleShot(0, this, [this, h] { emit answered(h, false); });
        return h;
    }
    uint replacesId = 0;
    if (replaces && entries_.contains(replaces)) {
        replacesId = entries_.value(replaces).id;
        entries_.remove(replaces);  // the server gives the new one the same id
    }
    entries_.insert(h, {});

    QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(n.urgency))},
                      {QStringLiteral("desktop-entry"), kDesktopEntry}};
    if (!n.category.isEmpty()) hints.insert(QStringLiteral("category"), n.category);
    if (n.silent) hints.insert(QStringLiteral("suppress-sound"), true);
    QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    m << kAppName << replacesId << kDesktopEntry << n.summary << (markup_ ? n.body.toHtmlEscaped() : n.body)
      << (actions_ ? n.actions : QStringList()) << hints
      // A critical notification stays until the phone takes it away.
      << (n.urgency >= 2 ? 0 : -1);
    const auto call = bus_.asyncCall(m, ms(timeouts_.notify));
    connect(new QDBusPendingCallWatcher(call, this), &QDBusPendingCallWatcher::finished, this,
            [this, h](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                const auto it = entries_.find(h);
                if (it == entries_.end()) return;  // its server went meanwhile
                if (reply.isError() || reply.value() == 0) {
                    entries_.erase(it);
                    if (reply.error().type() == QDBusError::NoReply || reply.error().type() == QDBusError::Timeout) {
                        // A server that does not answer is not asked to show more.
                        server_ = Server::Absent;
                        emit serverChanged();
                    }
                    emit answered(h, false);
                    return;
                }
                it->id = reply.value();
                if (it->closeOnAnswer) {
                    close(h);
                    return;
                }
                emit answered(h, true);
            });
    return h;
}

bool DesktopNotifications::isShown(Handle h) const { return entries_.value(h).id != 0; }

void DesktopNotifications::close(Handle h) {
    const auto it = entries_.find(h);
    if (it == entries_.end()) return;
    if (it->id == 0) {
        it->closeOnAnswer = true;
        return;
    }
    QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CloseNotification"));
    m << it->id;
    entries_.erase(it);
    bus_.asyncCall(m, ms(timeouts_.close));  // nothing to do with its answer
}

DesktopNotifications::Handle DesktopNotifications::handleOf(uint id) const {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->id == id && id != 0) return it.key();
    return 0;
}

void DesktopNotifications::onActionInvoked(uint id, const QString& key) {
    if (const Handle h = handleOf(id)) emit actionInvoked(h, key);
}

void DesktopNotifications::onNotificationClosed(uint id, uint reason) {
    if (const Handle h = handleOf(id)) {
        entries_.remove(h);
        emit closed(h, reason == 2 ? Gone::Dismissed : Gone::Expired);  // 2: dismissed by the user
    }
}

}  // namespace pelex::host
