#pragma once
// The production seams to the desktop: real message boxes, browser and
// clock (the sounds: alert_output.h).

#include <QPointer>
#include <QWidget>

#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/url_opener.h"

namespace pelex::control {

/// A modal QMessageBox with an OK button; an empty title reads "PelexMSN".
/// Once given an owner, every box belongs to the owner's window and opens
/// centred over it.
class QtMessageBox : public platform::MessageBox {
public:
    void setOwner(QWidget* owner) { owner_ = owner; }
    void show(const std::u16string& text, const std::u16string& title, platform::MessageIcon icon) override;

private:
    QPointer<QWidget> owner_;
};

/// Opens addresses with QDesktopServices (the user's default browser).
class DesktopUrlOpener : public platform::UrlOpener {
public:
    void open(const std::u16string& url) override;
};

/// The local time of the machine.
class SystemClock : public platform::Clock {
public:
    platform::LocalDateTime now() const override;
};

}  // namespace pelex::control
