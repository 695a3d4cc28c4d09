#pragma once
// The control's automation interface on the D-Bus session bus, so scripts can
// drive the phone: service org.pelex.PelexMSN, object /PelexMSN.

#include <QDBusAbstractAdaptor>

namespace pelex::host {

class HostWindow;

inline constexpr const char* kDBusService = "org.pelex.PelexMSN";
inline constexpr const char* kDBusObject = "/PelexMSN";

/// Each method runs the same-named method of the hosted control; with no
/// control (destroyed or never made) it does nothing.
class AutomationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.pelex.PelexMSN._Pelex_MSN")
public:
    explicit AutomationAdaptor(HostWindow* window);

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

private:
    HostWindow* window_;
};

/// Registers the window's automation object and the service name on the
/// session bus. Returns false (with `error` set) when there is no session bus
/// or the name is taken.
bool publishAutomation(HostWindow* window, QString& error);

}  // namespace pelex::host
