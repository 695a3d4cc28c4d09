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
// The state folder defaults to PELEX_RIG_DEFAULT_DIR (set by the build).

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

namespace pelex::testing {

class SipRig {
public:
    SipRig() {
        stop();  // a rig left over in the same folder
        const std::string base = setting("PELEX_RIG_BASE_PORT", "auto");
        const std::string command = "PELEX_RIG_OWNER_PID=" + std::to_string(::getpid()) +
                                    " PELEX_RIG_BASE_PORT=" + base + " " + script() + " start --dir '" + dir() +
                                    "' > '" + dir() + ".start.log' 2>&1";
        if (std::system(command.c_str()) != 0) {
            stop();
            throw std::runtime_error("the SIP rig did not start; see " + dir() + ".start.log");
        }
        std::ifstream settings(dir() + "/rig.env");
        for (std::string line; std::getline(settings, line);)
            if (const auto eq = line.find('='); eq != std::string::npos)
                ::setenv(line.substr(0, eq).c_str(), line.substr(eq + 1).c_str(), 1);
    }
    ~SipRig() { stop(); }
    SipRig(const SipRig&) = delete;
    SipRig& operator=(const SipRig&) = delete;

    static std::string dir() { return setting("PELEX_RIG_DIR", PELEX_RIG_DEFAULT_DIR); }
    static int sipPort() { return std::stoi(setting("PELEX_RIG_SIP_PORT", "5070")); }
    static int rejectPort() { return std::stoi(setting("PELEX_RIG_REJECT_PORT", "5071")); }
    static int peerPort() { return std::stoi(setting("PELEX_RIG_PEER_PORT", "5072")); }
    static int peerControlPort() { return std::stoi(setting("PELEX_RIG_PEER_CTRL_PORT", "5074")); }
    /// The peer's RTP ports.
    static int peerRtpFirst() { return std::stoi(setting("PELEX_RIG_PEER_RTP_FIRST", "5080")); }
    static int peerRtpLast() { return std::stoi(setting("PELEX_RIG_PEER_RTP_LAST", "5099")); }
    /// "127.0.0.1:<port>" of the registrar that answers a wrong password with 401.
    static std::string serverAddress() { return "127.0.0.1:" + std::to_string(sipPort()); }
    /// The same registrar on the port that answers a wrong password with 403.
    static std::string rejectingServerAddress() { return "127.0.0.1:" + std::to_string(rejectPort()); }
    /// The phone's account (users.txt).
    static constexpr const char* kPhoneUser = "1000";
    static constexpr const char* kPhonePassword = "pw1000";

private:
    static std::string script() { return PELEX_RIG_SCRIPT; }
    static std::string setting(const char* name, const std::string& fallback) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0' ? value : fallback;
    }
    static void stop() {
        const std::string command = script() + " stop --dir '" + dir() + "' > /dev/null 2>&1";
        [[maybe_unused]] int ignored = std::system(command.c_str());
    }
};

}  // namespace pelex::testing
