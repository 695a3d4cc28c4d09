#pragma once
// Which sound devices the phone uses: the user's choice while that device is
// there, else the desktop's default, else any. Plain rules over a list of
// devices (audio_devices.cpp) and their use on a liblinphone core
// (sound_devices.cpp).

#include <optional>
#include <string>
#include <vector>

#include "sip_engine/linphone/sound_server.h"

namespace pelex::sip_engine::linphone_rtc {

/// The user's choice, by the SIP stack's device id ("PulseAudio Unknown:
/// Headset"); an empty id stands for the desktop's default device.
struct AudioChoice {
    std::string microphone;
    std::string speaker;
    bool operator==(const AudioChoice&) const = default;
};

/// Where the choice is kept between runs.
class AudioChoiceStore {
public:
    virtual ~AudioChoiceStore() = default;
    virtual AudioChoice load() = 0;
    virtual void save(const AudioChoice& choice) = 0;
};

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
/// voice. Without a server, every device the stack found.
std::vector<SoundDevice> offeredDevices(const std::vector<SoundDevice>& all, const SoundServerInfo& server);

struct DevicePick {
    std::optional<SoundDevice> microphone;
    std::optional<SoundDevice> speaker;
};

/// The devices to use from `offered`: for each direction the chosen device
/// while it is offered, else the server's default, else the first offered
/// device that can do it, else none.
DevicePick pickDevices(const std::vector<SoundDevice>& offered, const AudioChoice& choice,
                       const SoundServerInfo& server);

/// What the user must know about `pick` and the server (empty when the
/// server runs and both devices are there).
std::u16string soundNote(const DevicePick& pick, const SoundServerInfo& server);

}  // namespace pelex::sip_engine::linphone_rtc
