#pragma once
// What the desktop's PulseAudio server says about itself: whether it runs,
// and which devices are its defaults. The SIP stack (mediastreamer2) lists the
// server's devices by description but does not know which one the desktop
// made the default, so the phone asks the server itself.

#include <chrono>
#include <string>

namespace pelex::sip_engine::linphone_rtc {

struct SoundServerInfo {
    /// A server answered.
    bool running = false;
    /// Description of the default sink (what the stack calls the device), or empty.
    std::string defaultSpeaker;
    /// Description of the default source, or empty when there is none or it
    /// only monitors a sink (the stack offers no monitors as microphones).
    std::string defaultMicrophone;
};

/// Asks the server libpulse finds the usual way ($PULSE_SERVER, else the
/// session's socket) without ever starting one. Gives up after `limit`.
SoundServerInfo querySoundServer(std::chrono::milliseconds limit = std::chrono::milliseconds(1500));

}  // namespace pelex::sip_engine::linphone_rtc
