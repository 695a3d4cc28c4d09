#pragma once
// Tells the user of calls while the phone's window is not in front.
//
// A call offered while the window is not the active window shows a critical
// desktop notification (category call.incoming) with the caller's number and
// Answer and Decline, which do what the call and hang-up buttons do. It goes
// as soon as the line stops offering that call, however that happens. Where
// there is no notification server, or one without actions, or the server
// has not shown the notification within half a second, the window comes to
// the front instead, without taking the keyboard. A window that becomes
// inactive while a call is still offered alerts then.
//
// A call that ended unanswered leaves a "Missed call from N" notification
// (one, updated as more are missed); it goes when the user has seen the
// missed calls in the window.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>

#include "host/desktop_notifications.h"
#include "host/phone_line.h"

namespace pelex::host {

class HostWindow;

class CallAlerts : public QObject {
    Q_OBJECT
public:
    /// How long a notification server has to show an offered call before the
    /// window comes to the front instead.
    static constexpr std::chrono::milliseconds kShowWithin{500};

    /// Alerts for the control in `window` through `notifications`; both outlive this.
    CallAlerts(HostWindow& window, DesktopNotifications& notifications, QObject* parent = nullptr);
    ~CallAlerts() override;

signals:
    /// How the user was told of an offered call, in a sentence for the log:
    /// the notification shown (and how long after the offer), or why the
    /// window came to the front instead.
    void told(const QString& what);

private:
    void onLine(const PhoneLine& line);
    void onMissed(const QString& caller);
    void onMissedSeen();
    void onAction(DesktopNotifications::Handle h, const QString& key);
    void onClosed(DesktopNotifications::Handle h, DesktopNotifications::Gone why);
    void onServerChanged();
    void onWindowActivation();
    void alert();
    void raiseInstead(const char* why);
    void endOffer();

    HostWindow& window_;
    DesktopNotifications& notifications_;
    // The call on offer and how the user was told of it.
    struct Offer {
        QString caller;
        DesktopNotifications::Handle notification = 0;
        bool alerted = false;  // notified, or the window raised
        bool raised = false;   // the window came to the front for it
        QElapsedTimer since;   // the offer
    };
    std::optional<Offer> offer_;
    QTimer deadline_;  // the notification server's time to show the offer
    DesktopNotifications::Handle missed_ = 0;
};

}  // namespace pelex::host
