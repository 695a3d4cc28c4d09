#pragma once
// Starts the loopback SIP rig (rig.sh) for C++ tests and stops it again, also
// when the test fails. A crashed test leaves nothing behind either: the rig's
// watchdog ends it when the test process is gone.
//
//   pelex::testing::SipRig rig;            // started; throws when it cannot start
//   rig.serverAddress()                    // "127.0.0.1:5070"
//
// The rig takes a free block of ports (PELEX_RIG_BASE_PORT=auto unless the
// environment names a base), so rigs of several builds on one machine do not
// collide; once started, its settings are in this process's environment
// (PELEX_RIG_SIP_PORT, ...) for the accessors below and for child processes.
// The state folder defaults to a folder of this process under
// PELEX_RIG_DEFAULT_DIR (set by the build).

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace pelex::testing {

/// How a rig is set up.
struct SipRigOptions {
    /// Answer mode of the peer's user 1001: "auto" or "manual" (the test
    /// answers or rejects over the control port).
    std::string peerAnswer = "auto";
    /// Longest registration lifetime the registrar grants, in seconds.
    int registrationLifetime = 3600;
    /// Where the peer plays what it hears: "null" or "pulse" (sink
    /// peer_speaker of the sound server in $PULSE_SERVER, see SoundRig).
    std::string peerPlayer = "null";
    /// What the peer sends: "tone" (1 kHz), "melody" or "mic" (source peer_mic).
    std::string peerVoice = "tone";
    /// How long the peer's tone lasts, in seconds (it is not repeated).
    int peerToneSeconds = 10;

    /// The peer at a desk: it plays what it hears to its speaker and sends
    /// what its microphone records, both on the sound server in $PULSE_SERVER.
    static SipRigOptions peerOnSoundServer() {
        SipRigOptions options;
        options.peerPlayer = "pulse";
        options.peerVoice = "mic";
        return options;
    }
    /// A second peer, user 1004, answering by itself and playing into sink
    /// pair_speaker of $PULSE_SERVER.
    bool secondPeer = false;

    /// These options as rig.sh's settings ("PELEX_RIG_...=... " for a shell command line).
    std::string environment() const {
        return "PELEX_RIG_PEER_ANSWER=" + peerAnswer + " PELEX_RIG_REG_EXPIRES=" +
               std::to_string(registrationLifetime) + " PELEX_RIG_PEER_PLAYER=" + peerPlayer +
               " PELEX_RIG_PEER_VOICE=" + peerVoice + " PELEX_RIG_PEER_TONE_SECONDS=" + std::to_string(peerToneSeconds) +
               " PELEX_RIG_SECOND_PEER=" + (secondPeer ? "1" : "0") + " ";
    }
};

/// Puts the KEY=VALUE lines of a rig's settings file into this process's
/// environment (for the accessors below and for child processes).
inline void loadRigSettings(const std::string& file) {
    std::ifstream settings(file);
    for (std::string line; std::getline(settings, line);)
        if (const auto eq = line.find('='); eq != std::string::npos)
            ::setenv(line.substr(0, eq).c_str(), line.substr(eq + 1).c_str(), 1);
}

class SipRig {
public:
    explicit SipRig(SipRigOptions options = {}) {
        std::filesystem::create_directories(std::filesystem::path(dir()).parent_path());
        stop();  // a rig left over in the same folder
        const std::string base = setting("PELEX_RIG_BASE_PORT", "auto");
        const std::string command = "PELEX_RIG_OWNER_PID=" + std::to_string(::getpid()) +
                                    " PELEX_RIG_BASE_PORT=" + base + " " + options.environment() + script() +
                                    " start --dir '" + dir() + "' > '" + dir() + ".start.log' 2>&1";
        if (std::system(command.c_str()) != 0) {
            stop();
            throw std::runtime_error("the SIP rig did not start; see " + dir() + ".start.log");
        }
        loadRigSettings(dir() + "/rig.env");
    }
    ~SipRig() { stop(); }
    SipRig(const SipRig&) = delete;
    SipRig& operator=(const SipRig&) = delete;

    /// The rig's state folder: PELEX_RIG_DIR, else one of this process's own
    /// under PELEX_RIG_DEFAULT_DIR, so tests in several processes run side by side.
    static std::string dir() {
        return setting("PELEX_RIG_DIR", std::string(PELEX_RIG_DEFAULT_DIR) + "/" + std::to_string(::getpid()));
    }
    static int sipPort() { return std::stoi(setting("PELEX_RIG_SIP_PORT", "5070")); }
    static int rejectPort() { return std::stoi(setting("PELEX_RIG_REJECT_PORT", "5071")); }
    static int peerPort() { return std::stoi(setting("PELEX_RIG_PEER_PORT", "5072")); }
    static int peerControlPort() { return std::stoi(setting("PELEX_RIG_PEER_CTRL_PORT", "5074")); }
    /// The peer's RTP ports.
    static int peerRtpFirst() { return std::stoi(setting("PELEX_RIG_PEER_RTP_FIRST", "5080")); }
    static int peerRtpLast() { return std::stoi(setting("PELEX_RIG_PEER_RTP_LAST", "5099")); }
    /// The address the registrar and the peer use (127.0.0.1 on the loopback rig).
    static std::string address() { return setting("PELEX_RIG_ADDRESS", "127.0.0.1"); }
    /// "<address>:<port>" of the registrar that answers a wrong password with 401.
    static std::string serverAddress() { return address() + ":" + std::to_string(sipPort()); }
    /// The same registrar on the port that answers a wrong password with 403.
    static std::string rejectingServerAddress() { return address() + ":" + std::to_string(rejectPort()); }
    /// Stops the registrar (Kamailio) alone; it forgets every registration.
    static void stopRegistrar() { run("stop-registrar"); }
    /// Starts the registrar again on the same ports. Throws when it does not start.
    static void startRegistrar() {
        if (!run("start-registrar")) throw std::runtime_error("the registrar did not start again");
    }
    /// The registrar's current registrations (`kamcmd ul.dump`), or empty.
    static std::string registrations() {
        const std::string command = "kamcmd -s 'unix:" + dir() + "/kamailio.ctl' ul.dump 2>/dev/null";
        std::string out;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char chunk[4096];
            for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
            ::pclose(pipe);
        }
        return out;
    }
    /// True while the registrar holds a registration of `user`.
    static bool isRegistered(const std::string& user) {
        return registrations().find("AoR: " + user) != std::string::npos;
    }
    /// What the registrar logged (every INVITE's request line among it).
    static std::string registrarLog() {
        std::ifstream in(dir() + "/kamailio.log");
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    /// The phone's account (users.txt).
    static constexpr const char* kPhoneUser = "1000";
    static constexpr const char* kPhonePassword = "pw1000";

private:
    static std::string script() { return PELEX_RIG_SCRIPT; }
    static std::string setting(const char* name, const std::string& fallback) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0' ? value : fallback;
    }
    static bool run(const std::string& what) {
        const std::string command = script() + " " + what + " --dir '" + dir() + "' >> '" + dir() + ".start.log' 2>&1";
        return std::system(command.c_str()) == 0;
    }
    static void stop() { run("stop"); }
};

}  // namespace pelex::testing
