#include "sip_engine/linphone/stack_config.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "sip_engine/linphone/network_settings.h"
#include "sip_engine/linphone/stack_pulse_card.h"
#include "sip_engine/rtc/rtc_error.h"

namespace pelex::sip_engine::linphone_rtc {
namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

// libpulse reads the client's properties from the environment whenever a
// connection opens: PULSE_PROP_media.role=phone makes the server give the
// role "phone" to each of the client's streams that names none, so sound the
// stack plays by other ways than the phone's own sound-card module (ALSA's
// PulseAudio plug-in when the phone reaches the server only through ALSA)
// is a phone call too, and a Bluetooth headset takes its call profile. The
// phone's own streams name their role themselves. A value the user's
// environment sets is kept; once set, a second call changes nothing (setenv
// without overwrite leaves the environment as is).
void prepareStackSoundClient() { ::setenv("PULSE_PROP_media.role", "phone", 0); }

std::shared_ptr<linphone::Core> createStackCore(const LinphoneOptions& options, int sipPort, bool networkWatched) {
    std::filesystem::create_directories(options.dataDir);
    auto factory = linphone::Factory::get();
    const std::string dir = options.dataDir.string() + "/";  // the stack appends file names
    factory->setDataDir(dir);
    factory->setConfigDir(dir);
    factory->setDownloadDir(dir);
    // No media plug-ins: the phone uses the stack's built-in audio codecs and
    // devices only. The one Debian installs (a Qt 5 Quick video display) alone
    // loads Qt 5, its QML engine and OpenGL: about 8 MB resident for nothing.
    factory->setMspluginsDir(dir + "no-media-plugins/");

    auto config = factory->createConfigFromString("");
    config->setString("storage", "uri", "null");
    config->setString("storage", "call_logs_db_uri", "null");
    config->setString("storage", "zrtp_secrets_db_uri", "null");
    config->setString("misc", "uuid", "0");
    config->setInt("sip", "sip_port", sipPort);
    config->setInt("sip", "sip_tcp_port", 0);
    config->setInt("sip", "sip_tls_port", 0);
    config->setInt("misc", "max_calls", 4);
    // No call history: the phone shows none, and without a history database
    // the stack would keep a record of every call in memory for as long as
    // it runs (its default bound is none).
    config->setInt("misc", "history_max_size", 0);
    // Calls cancel the echo of the speaker in the microphone (a laptop's
    // speakers and microphone share a room), with the stack's speex
    // canceller; it also suppresses steady noise on the microphone. The
    // user's switch (AudioChoice::echoCancel) is applied once the devices
    // are known. In file mode nothing is played that could come back, and
    // the suppressor would only take the test tone for noise.
    config->setInt("sound", "echocancellation", options.audioFromFiles ? 0 : 1);
    config->setString("sound", "ec_filter", "MSSpeexEC");
    // The jitter buffer starts at 40 ms and adapts to the network from
    // there; the stack's 60 ms start made the mouth-to-ear delay on a
    // quiet network about 210 to 270 ms instead of about 100 ms.
    config->setInt("rtp", "audio_jitt_comp", 40);
    // The phone rings and plays its ring-back itself; the stack's own
    // ringer and ring-back tone stay silent ("native" ringing is the
    // stack's name for an application that rings by itself).
    config->setInt("sound", "use_native_ringing", 1);
    // Nor its other tones (call waiting, on hold, the beeps when a call
    // ends or fails): the phone's sounds are its own, and the stack's
    // tone player lingering after each call only delays the next one.
    config->setInt("sound", "tone_indications", 0);
    // An unanswered incoming call rings until the caller gives up; the
    // bound answers "not available", not busy.
    config->setInt("sip", "inc_timeout", std::max(1, options.ringBoundSeconds));
    config->setInt("sip", "inc_timeout_status_code", 480);
    config->setInt("video", "capture", 0);
    config->setInt("video", "display", 0);
    applyNetworkSettings(*config, networkWatched);

    prepareStackSoundClient();  // a no-op when the program did it first
    auto core = factory->createCoreWithConfig(config, nullptr);
    if (!core) throw rtc::RTCError("the SIP stack did not start");
    installStackPulseCard(core->cPtr());
    core->enableAutoIterate(false);
    core->setRingback("");  // no ring-back tone from the stack
    core->setUserAgent("Pelex", "2.0");
    core->enableVideoCapture(false);
    core->enableVideoDisplay(false);
    if (options.rtpPortMin > 0) core->setAudioPortRange(options.rtpPortMin, options.rtpPortMax);
    else core->setAudioPort(-1);
    return core;
}

LinphoneOptions LinphoneOptions::fromEnvironment() {
    LinphoneOptions options;
    if (auto dir = env("PELEX_SIP_DATA_DIR"); !dir.empty()) {
        options.dataDir = dir;
    } else {
        const auto xdg = env("XDG_DATA_HOME");
        const auto base = !xdg.empty() ? std::filesystem::path(xdg)
                                       : std::filesystem::path(env("HOME")) / ".local" / "share";
        options.dataDir = base / "pelex" / "sip";
    }
    if (auto port = env("PELEX_SIP_LOCAL_PORT"); !port.empty()) options.sipPort = std::atoi(port.c_str());
    if (auto ports = env("PELEX_SIP_RTP_PORTS"); !ports.empty()) {
        if (const auto dash = ports.find('-'); dash != std::string::npos) {
            options.rtpPortMin = std::atoi(ports.substr(0, dash).c_str());
            options.rtpPortMax = std::atoi(ports.substr(dash + 1).c_str());
        }
    }
    options.audioFromFiles = env("PELEX_SIP_AUDIO") == "files";
    if (const int bound = std::atoi(env("PELEX_SIP_RING_BOUND").c_str()); bound > 0) options.ringBoundSeconds = bound;
    if (auto log = env("PELEX_SIP_LOG"); !log.empty())
        options.logFile = log == "1" ? options.dataDir / "linphone.log" : std::filesystem::path(log);
    return options;
}

}  // namespace pelex::sip_engine::linphone_rtc
