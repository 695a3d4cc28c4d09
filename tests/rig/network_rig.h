#pragma once
// The network rig (netns.sh) for C++ tests and benchmarks: the phone behind a
// home router that masquerades and forgets idle mappings, Kamailio and the
// baresip peer on the far side, each side in a network namespace of its own.
//
//   pelex::testing::NetworkRig net;     // started; this thread is now on the phone's side
//   SipRig::serverAddress()              // "198.51.100.2:5060"
//   net.changeAddress("192.0.2.7");      // the phone's address changes
//   { auto far = net.enter(NetworkRig::Side::Far); /* sockets opened here are the far side's */ }
//
// The constructing thread joins the phone's namespace, so every socket it, and
// every thread it starts from then on, opens is the phone's (the phone's
// engine made after the rig is "behind the router"); the destructor takes it
// back and removes the rig. A crashed test leaves nothing behind: the rig's
// watchdog removes it once the test process is gone. Paths reach across
// namespaces (the sound server, a D-Bus bus, the registrar's control socket),
// addresses of 127.0.0.1 do not.
//
// While the rig lives the phone's engine takes SIP port 5060 and RTP ports
// 40000-40019 of the phone's namespace (PELEX_SIP_LOCAL_PORT, PELEX_SIP_RTP_PORTS).

#include <atomic>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "tests/rig/rig_fixture.h"

namespace pelex::testing {

/// Puts the calling thread into a network namespace until destroyed.
class NamespaceGuard {
public:
    /// Enters the namespace at `path` (/run/netns/NAME). Throws std::runtime_error.
    explicit NamespaceGuard(const std::string& path);
    ~NamespaceGuard();
    NamespaceGuard(NamespaceGuard&& other) noexcept : back_(std::exchange(other.back_, -1)) {}
    NamespaceGuard& operator=(NamespaceGuard&&) = delete;
    NamespaceGuard(const NamespaceGuard&) = delete;
    NamespaceGuard& operator=(const NamespaceGuard&) = delete;

private:
    int back_ = -1;  // the namespace to return to
};

/// Thrown when this machine lets no network namespaces be made (not root,
/// or a container without the capability): tests skip rather than fail.
struct NetworkRigUnavailable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct NetworkRigOptions {
    /// The SIP side: the peer's answer mode and sound, a second peer (which
    /// runs on the phone's side, on the phone's address), lifetimes.
    SipRigOptions sip;
    /// How long the router keeps an idle UDP mapping, in seconds.
    int udpMappingSeconds = 30;
};

class NetworkRig {
public:
    enum class Side { Phone, Router, Far };

    /// Starts the rig and moves the calling thread to the phone's side.
    /// Throws NetworkRigUnavailable where namespaces cannot be made, and
    /// std::runtime_error (with the script's output) when the rig fails.
    explicit NetworkRig(NetworkRigOptions options = {});
    /// Returns the calling thread to where it was and removes the rig.
    ~NetworkRig();
    NetworkRig(const NetworkRig&) = delete;
    NetworkRig& operator=(const NetworkRig&) = delete;

    /// True where network namespaces can be made (root with the capability).
    static bool available();

    /// The calling thread on `side` until the guard goes.
    NamespaceGuard enter(Side side) const;

    /// The phone's address on its link becomes `address` (192.0.2.x).
    void changeAddress(const std::string& address) { act("address " + address); }
    /// The phone joins its second network (203.0.113.2) and loses its first link.
    void switchNetwork() { act("switch-network"); }
    /// The phone's link loses its carrier (cable out) / regains it.
    void linkDown() { act("link-down"); }
    void linkUp() { act("link-up"); }
    /// The router drops `percent` % of RTP packets at random, both ways.
    void setLoss(double percent);
    /// The router holds each RTP packet `ms` +/- `jitterMs` ms, both ways (0, 0: none).
    void setDelay(int ms, int jitterMs);
    /// The router forgets every mapping, as if it had restarted.
    void forgetMappings() { act("forget-mappings"); }
    /// The router's current mappings (`conntrack -L`).
    std::string mappings() const;
    /// Runs `command` (a shell command line) on `side`; its exit status.
    int run(Side side, const std::string& command) const;

    /// The rig's state folder (its logs).
    const std::string& dir() const { return dir_; }
    static constexpr const char* kPhoneAddress = "192.0.2.2";
    static constexpr const char* kSecondNetworkAddress = "203.0.113.2";
    static constexpr const char* kRouterAddress = "198.51.100.1";
    static constexpr const char* kFarAddress = "198.51.100.2";
    static constexpr int kPhoneSipPort = 5060;

private:
    void act(const std::string& action) const;
    std::string script(const std::string& action) const;
    std::string namespaceOf(Side side) const;
    void stop() noexcept;

    std::string dir_;
    std::optional<NamespaceGuard> onPhoneSide_;
    std::optional<std::string> savedSipPort_, savedRtpPorts_;
};

/// A device on the phone's network that sends junk (random bytes, now and
/// then dressed as the start of a SIP request) to one UDP port, at a steady
/// rate, from the router's side, until destroyed.
class JunkFlood {
public:
    JunkFlood(const NetworkRig& rig, std::string address, int port, int packetsPerSecond);
    ~JunkFlood();
    JunkFlood(const JunkFlood&) = delete;
    JunkFlood& operator=(const JunkFlood&) = delete;
    /// Packets sent so far.
    std::uint64_t sent() const { return sent_; }
    /// CPU seconds the sending has cost this process so far (to tell the
    /// phone's own share from it).
    double cpuSeconds() const { return cpuSeconds_; }

private:
    void run(const NetworkRig& rig, const std::string& address, int port, int packetsPerSecond);
    std::atomic<bool> stopping_ = false;
    std::atomic<std::uint64_t> sent_ = 0;
    std::atomic<double> cpuSeconds_ = 0;
    std::thread thread_;
};

}  // namespace pelex::testing
