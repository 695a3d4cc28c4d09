#pragma once
// The phone's icon in the desktop's tray, where the desktop has one (a
// status notifier host, which Qt's tray icon speaks to over D-Bus). Its tool
// tip tells the line in the engine's words and the missed calls not seen
// yet; its menu offers Show, Sign out and Quit. With the icon there, closing
// the window only hides it: the phone stays signed in and keeps taking calls,
// and comes back with Show (or a click on the icon).

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

namespace pelex::host {

class HostWindow;

class PhoneTray : public QObject {
    Q_OBJECT
public:
    /// The icon for `window` (which outlives it), or null when the desktop has no tray.
    static std::unique_ptr<PhoneTray> create(HostWindow& window);
    ~PhoneTray() override;

    QString toolTip() const { return icon_.toolTip(); }

private:
    explicit PhoneTray(HostWindow& window);
    void update();

    HostWindow& window_;
    QMenu menu_;
    QAction* signOut_ = nullptr;
    QSystemTrayIcon icon_;
};

}  // namespace pelex::host
