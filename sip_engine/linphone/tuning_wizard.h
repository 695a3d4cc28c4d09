#pragma once
// The audio tuning dialog: choose the microphone and the speaker among the
// devices the phone offers, try them, and keep the choice.

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
/// was. `dataDir` holds the test tone.
void runTuningWizard(const std::shared_ptr<linphone::Core>& core, SoundDevices& sound, rtc::WindowHandle parent,
                     const std::filesystem::path& dataDir);

}  // namespace pelex::sip_engine::linphone_rtc
