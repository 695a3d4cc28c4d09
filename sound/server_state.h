#pragma once
// What the phone knows of the desktop's sound server at one moment: plain
// data, copied out of the server's connection (see SoundServer::state) so
// that readers never wait on the server.

#include <string>
#include <vector>

namespace pelex::sound {

/// One sink (speaker) or source (microphone) of the server.
struct Device {
    std::string name;         ///< the server's name, unique ("alsa_output.usb-Headset-00.analog-stereo")
    std::string description;  ///< what the user sees, and what the SIP stack calls the device
    bool operator==(const Device&) const = default;
};

struct ServerState {
    /// The first attempt to reach the server has ended (with or without a
    /// server): until then nothing is known, not even that none runs.
    bool known = false;
    /// Connected, and the server has told us its devices.
    bool running = false;
    /// The server answered the phone's latest question in time. A stopped
    /// (for example suspended) server keeps its connection but stops
    /// answering; whatever waits on it then waits until it comes back.
    bool answering = false;
    /// Description of the default sink, or empty.
    std::string defaultSpeaker;
    /// Description of the default source, or empty when there is none or it
    /// only monitors a sink (a monitor hears the speaker, not the user).
    std::string defaultMicrophone;
    /// Every sink.
    std::vector<Device> speakers;
    /// Every source that is no monitor of a sink.
    std::vector<Device> microphones;
    /// Names of the sound cards (a headset plugged in adds one).
    std::vector<std::string> cards;
    /// Changes whenever the server came or went: what another client
    /// connected to it before knows of it (its streams, its connection) is
    /// gone, also when the new server has the same devices.
    unsigned epoch = 0;

    /// The sink described as `description`, or null.
    const Device* speakerDescribed(const std::string& description) const {
        for (const auto& d : speakers)
            if (d.description == description) return &d;
        return nullptr;
    }
    /// Whether the devices and cards are those of `other`, on the same
    /// server (defaults aside).
    bool sameDevices(const ServerState& other) const {
        return epoch == other.epoch && speakers == other.speakers && microphones == other.microphones &&
               cards == other.cards;
    }
    bool operator==(const ServerState&) const = default;
};

}  // namespace pelex::sound
