#pragma once
// Which sound devices the phone uses: the user's choice while that device is
// there, else the desktop's default, else any. Plain rules over a list of
// devices (audio_devices.cpp) and their use on a liblinphone core
// (sound_devices.cpp).

#include <optional>
#include <string>
#include <vector>

#include "sip_engine/audio_choice.h"
#include "sound/server_state.h"

namespace pelex::sip_engine::linphone_rtc {

using sound::ServerState;

/// One device as the SIP stack lists it.
struct SoundDevice {
    std::string id;      ///< the stack's id, unique
    std::string name;    ///< what the user sees (PulseAudio's description)
    std::string driver;  ///< "PulseAudio", "ALSA", ...
    bool canCapture = false;
    bool canPlay = false;
    bool operator==(const SoundDevice&) const = default;
};

/// The devices worth offering. While a PulseAudio server runs, only its own:
/// the stack's ALSA devices then lead back to the same server (twice over),
/// and ALSA's default capture follows the server's default source even when
/// that only monitors the speaker, which would send the far end its own
/// voice; and of those only what the server still has (the stack's list may
/// be older than the server's picture). Without a server, or when the stack
/// lists none of the server's devices (it lost its connection to a server
/// that restarted), every device the stack found.
std::vector<SoundDevice> offeredDevices(const std::vector<SoundDevice>& all, const ServerState& server);

struct DevicePick {
    std::optional<SoundDevice> microphone;
    std::optional<SoundDevice> speaker;
};

/// The devices to use from `offered`: for each direction the chosen device
/// while it is offered, else the server's default, else the first offered
/// device that can do it, else none.
DevicePick pickDevices(const std::vector<SoundDevice>& offered, const AudioChoice& choice,
                       const ServerState& server);

/// What the user must know about `pick` and the server (empty when the
/// server runs, answers and both devices are there).
std::u16string soundNote(const DevicePick& pick, const ServerState& server);

}  // namespace pelex::sip_engine::linphone_rtc
