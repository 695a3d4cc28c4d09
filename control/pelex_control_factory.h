#pragma once
// The production way to make the phone control: real message boxes, sound,
// browser and clock, the settings store at its usual place (PELEX_REGISTRY
// overrides it), a TCP socket to the account server (PELEX_ACCOUNT_SERVER
// overrides the host and port, PELEX_WEB_SITE the web site) and the
// liblinphone SIP engine.

#include <QWidget>

#include <memory>

#include "control/pelex_msn.h"

namespace pelex::control {

/// Returns a new, started-up control. The caller owns it; when `parent` is
/// given the control is also its child, so destroy the control (or release
/// the pointer to Qt) before the parent goes.
/// `controlFolder` is the folder of the control's library file, where the
/// updater program is looked for.
std::unique_ptr<Pelex_MSN> createPelexControl(QWidget* parent = nullptr, const QString& controlFolder = {});

}  // namespace pelex::control
