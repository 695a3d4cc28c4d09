#pragma once
// The control's automation interface on the D-Bus session bus, so scripts can
// drive the phone: service org.pelex.PelexMSN, object /PelexMSN.
//
// Every call but Dial returns at once: the action itself runs from the event
// loop right after, in the order the calls came, and waits while a modal
// box of the phone is open (see ActionQueue). So a call whose action opens a
// box does not hang the caller until someone closes it. Dial answers once
// its action has run, since only then does the phone know whether it takes
// the number.

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>

namespace pelex::host {

class HostWindow;

inline constexpr const char* kDBusService = "org.pelex.PelexMSN";
inline constexpr const char* kDBusObject = "/PelexMSN";
inline constexpr const char* kDBusInterface = "org.pelex.PelexMSN._Pelex_MSN";
/// The error a Dial call gets for text that is no dialable number.
inline constexpr const char* kDBusNotDialable = "org.pelex.PelexMSN.Error.NotDialable";
/// The error a Dial call gets while a call is offered or under way.
inline constexpr const char* kDBusLineBusy = "org.pelex.PelexMSN.Error.LineBusy";

/// Each of the first six methods runs the same-named method of the hosted
/// control; with no control (destroyed or never made) it does nothing.
class AutomationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.pelex.PelexMSN._Pelex_MSN")
public:
    /// Offers `window`'s control on `bus` (where error replies go).
    AutomationAdaptor(HostWindow* window, const QDBusConnection& bus);

public slots:
    void imgCall_Click();
    void imgDiscon_Click();
    void imgLogin_Click();
    void imgOption_Click();
    void newRTC1();
    void UserControl_Terminate();
    /// Hides the control as a host hides its activity.
    void HideControl();
    /// Shows the control again.
    void ShowControl();
    /// Dials a number, or the number of a tel:, sip: or callto: link: it
    /// goes into the number box and is dialled once the line is idle (after
    /// the user has signed in, if need be). Returns the number that is
    /// dialled or waits for the line. Text that is no dialable number gets
    /// the error org.pelex.PelexMSN.Error.NotDialable, a number while a call
    /// is offered or under way org.pelex.PelexMSN.Error.LineBusy; the phone
    /// shows why in both cases. (`call` is the D-Bus message itself, filled
    /// in by Qt; not an argument on the bus.)
    QString Dial(const QString& numberOrLink, const QDBusMessage& call);
    /// Brings the phone's window to the front.
    void Present();

private:
    HostWindow* window_;
    QDBusConnection bus_;
};

/// Takes the service name on the session bus. Returns false when another
/// process owns it already (`taken` is then true) or when there is no bus
/// (`error` says why).
bool claimAutomationName(QDBusConnection& bus, bool& taken, QString& error);

/// Registers the window's automation object on `bus` (the name is claimed
/// separately). Returns false with `error` set on failure.
bool publishAutomation(HostWindow* window, QDBusConnection& bus, QString& error);

}  // namespace pelex::host
