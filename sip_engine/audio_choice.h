#pragma once
// The user's choice of sound devices, as the engine's owner keeps it: the
// microphone and the speaker of calls, and the device the phone rings on.
// Devices are named by the SIP stack's device id ("PulseAudio Unknown:
// Headset", whose part after ": " is the device's description); an empty id
// stands for the desktop's default device. The echo canceller's switch is
// kept with them: it belongs to the same room, microphone and speaker.

#include <string>

namespace pelex::sip_engine {

struct AudioChoice {
    std::string microphone;
    std::string speaker;
    /// Where the ring of an incoming call sounds; empty: the desktop's
    /// default output (as its alert sounds do), whatever the call speaker is.
    std::string ring;
    /// Whether calls cancel the echo of the speaker in the microphone (and
    /// suppress steady noise with it); on unless the user switched it off.
    bool echoCancel = true;
    bool operator==(const AudioChoice&) const = default;
};

/// Where the choice is kept between runs.
class AudioChoiceStore {
public:
    virtual ~AudioChoiceStore() = default;
    virtual AudioChoice load() = 0;
    virtual void save(const AudioChoice& choice) = 0;
};

/// The description part of a device id ("PulseAudio Unknown: Headset" gives
/// "Headset"; an id without the stack's prefix is its own description).
inline std::string deviceDescriptionOfId(const std::string& id) {
    const auto colon = id.find(": ");
    return colon == std::string::npos ? id : id.substr(colon + 2);
}

}  // namespace pelex::sip_engine
