#pragma once
// Keeps the stack in step with the machine's network and sleep.
//
// By itself the stack looks every 5 s at which local address its default
// route uses, and acts only when that address changed: a link that comes back
// with its old address, or a machine that wakes up, go unnoticed until the
// next refresh (an hour away), and a change costs up to 5 s. Here the
// desktop's own events (see network/) tell it at once:
//   - the network goes: the stack is told it is unreachable (it stops
//     trying, marks a call in progress broken) and the line says so;
//   - it comes back, or changes (a new address, another link): the stack
//     forgets its connections and registers again at once from the new
//     address, without waiting out a retry pause, and repairs a call in
//     progress with a re-INVITE once registered;
//   - the machine wakes up: the registration is refreshed at once (the
//     router has forgotten the mapping meanwhile; the stack's timers do not
//     know that time passed).
// Without netlink the stack keeps its own watch; without a system bus or
// logind, sleep goes unnoticed as before.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "network/network_watch.h"
#include "network/sleep_watch.h"
#include "sip_engine/linphone/linphone_objects.h"

namespace pelex::sip_engine::linphone_rtc {

class NetworkFollower {
public:
    /// Watches from now on. `registerNow` has every account that waits
    /// between failed attempts register at once.
    NetworkFollower(std::shared_ptr<Context> context, std::function<void()> registerNow);

    /// True when the kernel's network events can be had (else the stack must
    /// keep watching by itself).
    bool watching() const { return network_.watching(); }
    /// The stack's core runs: from the server on (setServer) it is told.
    void start();
    /// Watches the route to the SIP server `host` (when it is an address;
    /// a name leaves the watch on the route to the internet), and tells the
    /// stack whether that route is usable now.
    void setServer(const std::string& host);
    /// While held, the stack stays unreachable whatever the network does
    /// (it waits for its fixed SIP port, see LocalSipPort); what the network
    /// says meanwhile is still followed and applied once released.
    void holdUnreachable() { held_ = true; }
    void releaseHold();

private:
    void onNetwork(network::NetworkChange change);
    void onSleep(network::SleepEvent event);
    void tellUnreachable();
    void tellReachable();
    /// Marks the stack reachable unless held.
    void reach();

    std::shared_ptr<Context> context_;
    std::function<void()> registerNow_;
    network::NetworkWatch network_;
    std::optional<network::SleepWatch> sleep_;
    bool started_ = false;
    bool told_ = false;  // the stack has been told how the network stands
    bool held_ = false;  // see holdUnreachable
};

}  // namespace pelex::sip_engine::linphone_rtc
