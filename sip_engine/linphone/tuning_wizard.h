#pragma once
// The audio tuning dialog: choose the capture and playback devices and try them.

#include <filesystem>
#include <memory>

#include "sip_engine/rtc/rtc_codes.h"

namespace linphone {
class Core;
}

namespace pelex::sip_engine::linphone_rtc {

/// Shows the dialog modally over native window `parent` (0: no parent) and
/// returns when it is closed; OK makes the chosen devices the defaults.
/// `dataDir` holds the test tone.
void runTuningWizard(const std::shared_ptr<linphone::Core>& core, rtc::WindowHandle parent,
                     const std::filesystem::path& dataDir);

}  // namespace pelex::sip_engine::linphone_rtc
