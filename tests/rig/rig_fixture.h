#pragma once
// Starts the loopback SIP rig (rig.sh) for C++ tests and stops it again, also
// when the test fails. A crashed test leaves nothing behind either: the rig's
// watchdog ends it when the test process is gone.
//
//   pelex::testing::SipRig rig;            // started; throws when it cannot start
//   rig.serverAddress()                    // "127.0.0.1:5070"
//
// Settings come from the same environment variables as rig.sh; the state
// folder defaults to PELEX_RIG_DEFAULT_DIR (set by the build).

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace pelex::testing {

class SipRig {
public:
    SipRig() {
        stop();  // a rig left over in the same folder
        const std::string command = "PELEX_RIG_OWNER_PID=" + std::to_string(::getpid()) + " " + script() +
                                    " start --dir '" + dir() + "' > '" + dir() + ".start.log' 2>&1";
        if (std::system(command.c_str()) != 0) {
            stop();
            throw std::runtime_error("the SIP rig did not start; see " + dir() + ".start.log");
        }
    }
    ~SipRig() { stop(); }
    SipRig(const SipRig&) = delete;
    SipRig& operator=(const SipRig&) = delete;

    static std::string dir() { return setting("PELEX_RIG_DIR", PELEX_RIG_DEFAULT_DIR); }
    static int sipPort() { return std::stoi(setting("PELEX_RIG_SIP_PORT", "5070")); }
    static int rejectPort() { return std::stoi(setting("PELEX_RIG_REJECT_PORT", "5071")); }
    static int peerPort() { return std::stoi(setting("PELEX_RIG_PEER_PORT", "5072")); }
    static int peerControlPort() { return std::stoi(setting("PELEX_RIG_PEER_CTRL_PORT", "4470")); }
    /// The peer's RTP ports (rig.sh gives it peerPort()+20000 to +20099).
    static int peerRtpFirst() { return peerPort() + 20000; }
    static int peerRtpLast() { return peerPort() + 20099; }
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
