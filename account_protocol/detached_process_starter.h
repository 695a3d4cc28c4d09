#pragma once
// Starts programs with QProcess::startDetached: no shell, not waited for.

#include "platform/process_starter.h"

namespace pelex::account_protocol {

class DetachedProcessStarter : public platform::ProcessStarter {
public:
    /// Returns false when the program is missing or cannot be started. The
    /// window style is a wish the desktop may ignore.
    bool startDetached(const std::u16string& program, platform::WindowStyle style) override;
};

}  // namespace pelex::account_protocol
