#include "host/phone_tray.h"

#include <QCoreApplication>

#include "host/host_window.h"
#include "host/phone_icon.h"

namespace pelex::host {

std::unique_ptr<PhoneTray> PhoneTray::create(HostWindow& window) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return nullptr;
    return std::unique_ptr<PhoneTray>(new PhoneTray(window));
}

PhoneTray::PhoneTray(HostWindow& window) : window_(window) {
    menu_.addAction(QStringLiteral("&Show"), &window_, &HostWindow::present);
    signOut_ = menu_.addAction(QStringLiteral("Sign &out"), this, [this] {
        window_.post([w = &window_] {
            if (auto* c = w->control()) c->imgOption_Click();
        });
    });
    menu_.addSeparator();
    menu_.addAction(QStringLiteral("&Quit"), qApp, &QCoreApplication::quit);
    icon_.setIcon(phoneIcon());
    icon_.setContextMenu(&menu_);
    connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick) window_.present();
    });
    connect(&window_, &HostWindow::lineChanged, this, &PhoneTray::update);
    connect(&window_.missedCalls(), &MissedCalls::changed, this, &PhoneTray::update);
    update();
    icon_.show();
    window_.setCloseHides(true);
}

PhoneTray::~PhoneTray() { window_.setCloseHides(false); }

void PhoneTray::update() {
    const PhoneLine& line = window_.line();
    QString tip = QStringLiteral("Pelex soft phone\n") + lineWords(line);
    if (const QString missed = window_.missedCalls().countText(); !missed.isEmpty()) tip += u'\n' + missed;
    icon_.setToolTip(tip);
    signOut_->setEnabled(line.state != LineState::SignedOut);
}

}  // namespace pelex::host
