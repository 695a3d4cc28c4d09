#pragma once
// The audio tuning dialog: choose the microphone, the speaker and the ring's
// device among the devices the phone offers, switch echo cancellation on or
// off, try them, and keep the choice.

#include <filesystem>
#include <memory>

#include "sip_engine/rtc/rtc_codes.h"

namespace linphone {
class Core;
}

namespace pelex::sip_engine::linphone_rtc {

class SoundDevices;

/// Shows the dialog modally over native window `parent` (0: no parent) and
/// returns when it is closed. OK keeps the chosen devices (used from the next
/// call on, and at once by a running call); Cancel leaves everything as it
/// was. `dataDir` holds the test tone. The dialog runs the event loop and
/// holds what it uses: should the client stop meanwhile (`sound` detached),
/// OK only keeps the choice.
void runTuningWizard(std::shared_ptr<linphone::Core> core, std::shared_ptr<SoundDevices> sound,
                     rtc::WindowHandle parent, std::filesystem::path dataDir);

}  // namespace pelex::sip_engine::linphone_rtc
