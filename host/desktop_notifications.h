#pragma once
// The desktop's notification server (org.freedesktop.Notifications on the
// session bus), spoken to only with asynchronous calls that carry a timeout:
// a server that answers late, never answers or goes away cannot hold up the
// window or a call.
//
// Notifications are named by handles of our own, given out at once; the
// server's id arrives later with its answer. A notification closed before
// the server has answered is closed as soon as the answer comes.

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QStringList>

#include <chrono>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace pelex::host {

/// One notification as the server is asked to show it.
struct Notification {
    QString summary;       ///< plain text
    QString body;          ///< plain text (escaped for servers that read markup)
    QStringList actions;   ///< key, label, key, label, ...; only sent to a server that offers actions
    quint8 urgency = 1;    ///< 0 low, 1 normal, 2 critical
    QString category;      ///< e.g. "call.incoming"
    bool silent = false;   ///< the phone makes its own sound: ask the server for none
};

class DesktopNotifications : public QObject {
    Q_OBJECT
public:
    using Handle = quint64;  ///< ours; 0 is no notification

    /// What is known of the server.
    enum class Server { Asking, Absent, Present };
    /// Why a notification is no longer on screen.
    enum class Gone {
        Dismissed,   ///< the user closed it
        Expired,     ///< the server took it away (timed out, or for reasons of its own)
        ServerGone,  ///< its server went away with it
    };

    struct Timeouts {
        /// How long the server may take to say what it offers; after that it counts as absent.
        std::chrono::milliseconds capabilities{2000};
        /// How long an answer to Notify is still taken (and the notification then kept or closed).
        std::chrono::milliseconds notify{10000};
        std::chrono::milliseconds close{2000};
    };

    /// Speaks to the server on `bus` (unconnected: no server) and asks it
    /// at once what it offers.
    DesktopNotifications(const QDBusConnection& bus, Timeouts timeouts, QObject* parent = nullptr);
    ~DesktopNotifications() override;

    Server server() const { return server_; }
    /// Whether the server shows actions (buttons), as it last said.
    bool offersActions() const { return server_ == Server::Present && actions_; }
    /// Asks the server again what it offers, unless a question is open.
    void ask();

    /// Asks the server to show `n` (replacing the notification `replaces`, if
    /// the server still has it). Returns its handle at once.
    Handle show(const Notification& n, Handle replaces = 0);
    /// True once the server has taken the notification (answered with its id).
    bool isShown(Handle h) const;
    /// Takes the notification away (or makes sure it goes once the server answers).
    void close(Handle h);

signals:
    /// The server's answer to what it offers came, or the server went.
    void serverChanged();
    /// The server answered `show`: the notification is shown, or it failed.
    void answered(Handle h, bool shown);
    /// The user chose the action `key` on notification `h`.
    void actionInvoked(Handle h, const QString& key);
    /// The notification is no longer on screen, though nobody here closed it.
    void closed(Handle h, Gone why);

private slots:
    // The server's signals (connected by name, as D-Bus signals are).
    void onActionInvoked(uint id, const QString& key);
    void onNotificationClosed(uint id, uint reason);

private:
    void onCapabilities(QDBusPendingCallWatcher* call);
    void onOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
    Handle handleOf(uint id) const;

    QDBusConnection bus_;
    Timeouts timeouts_;
    QDBusServiceWatcher* watcher_ = nullptr;
    Server server_ = Server::Absent;
    bool actions_ = false;
    bool markup_ = false;
    bool asking_ = false;
    Handle next_ = 1;
    // Each live handle: the server's id (0 while its answer is awaited) and
    // whether it is to go as soon as that answer comes.
    struct Entry {
        uint id = 0;
        bool closeOnAnswer = false;
    };
    QHash<Handle, Entry> entries_;
};

}  // namespace pelex::host
