#pragma once
// The RTC client on liblinphone. The stack is driven from the Qt event loop
// of the creating thread (when a SIP message arrives, and from a timer), so
// its events reach the sink on that thread, after the stack call that caused
// them has returned.
//
// Files: everything the stack keeps lives in `dataDir` (no databases, no
// configuration file: the configuration, and with it the SIP password, stays
// in memory). Logging is off unless `logFile` is set.

#include <filesystem>
#include <memory>
#include <string>

#include "sip_engine/linphone/sound_devices.h"
#include "sip_engine/rtc/rtc_client.h"

namespace pelex::sip_engine::linphone_rtc {

struct LinphoneOptions {
    /// The engine's data folder. Default: $PELEX_SIP_DATA_DIR, else
    /// $XDG_DATA_HOME/pelex/sip (~/.local/share/pelex/sip).
    std::filesystem::path dataDir;
    /// Local SIP UDP port; -1 picks a free one. Default: $PELEX_SIP_LOCAL_PORT or -1.
    int sipPort = -1;
    /// Local RTP port range; -1/-1 picks free ones. Default: $PELEX_SIP_RTP_PORTS ("min-max").
    int rtpPortMin = -1, rtpPortMax = -1;
    /// Test switch: send a generated tone instead of the microphone and drop
    /// what is received. Default: true when $PELEX_SIP_AUDIO is "files".
    /// Otherwise calls use the desktop's sound devices (see SoundDevices).
    bool audioFromFiles = false;
    /// The desktop's sound server; null: the client connects on its own
    /// (unless audioFromFiles).
    std::shared_ptr<sound::SoundServer> soundServer;
    /// Where the user's choice of sound devices is kept; null: nowhere.
    std::shared_ptr<AudioChoiceStore> audioChoices;
    /// Told when a microphone, a speaker or the whole sound server is missing.
    SoundNoteHandler soundNote;
    /// Where the stack's log goes; empty: no log. Default: $PELEX_SIP_LOG
    /// ("1" means dataDir/linphone.log, anything else is a path).
    std::filesystem::path logFile;
    /// Milliseconds between two turns of the stack for its timers during a
    /// call (a SIP message that arrives turns it at once).
    int iterateMs = 100;
    /// The same while no call runs: the stack's timers are then refreshes,
    /// keep-alives and retransmissions, which tolerate the wait, and every
    /// turn costs an idle phone its CPU.
    int idleIterateMs = 1000;
    /// Longest ring of an unanswered incoming call, in seconds; the stack
    /// then answers "not available" (480). It only ends a call whose cancel
    /// never arrived: proxies give up after two or three minutes. Default:
    /// $PELEX_SIP_RING_BOUND (a test switch) or 300.
    int ringBoundSeconds = 300;

    /// The options from the environment as described above.
    static LinphoneOptions fromEnvironment();
};

/// A new, not yet initialized liblinphone client. Needs a running Qt event
/// loop on the calling thread to make progress.
std::shared_ptr<rtc::IRTCClient> createLinphoneClient(LinphoneOptions options = LinphoneOptions::fromEnvironment());

/// Sets the process environment the stack's sound-server client reads (its
/// streams' role as a phone call, its buffer size). The stack does it itself
/// when its first core is made; a program whose other threads may already
/// read the environment by then (its own sound-server connection) calls
/// this first, before starting them: changing the environment is not safe
/// while another thread reads it.
void prepareStackSoundClient();

/// The factory the engine uses to create its client.
rtc::RTCClientFactory linphoneClientFactory();
/// The same, on the sound server `server` (null: each client connects on
/// its own), keeping the choice of sound devices in `choices` and telling
/// `note` about missing ones.
rtc::RTCClientFactory linphoneClientFactory(std::shared_ptr<sound::SoundServer> server,
                                            std::shared_ptr<AudioChoiceStore> choices, SoundNoteHandler note);

}  // namespace pelex::sip_engine::linphone_rtc
