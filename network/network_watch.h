#pragma once
// Tells when the network changes, goes away or comes back, by the kernel's
// events rather than by polling. A burst of events (an address, its routes,
// the link's state) is let settle before the network is looked at again, and
// only a change of what matters is told: whether a route to the destination
// leaves through a link with carrier, from which address, over which link.

#include <QTimer>

#include <chrono>
#include <functional>
#include <string>

#include "network/network_state.h"
#include "network/route_events.h"

namespace pelex::network {

enum class NetworkChange {
    Changed,   ///< still online, from another address or over another link
    WentAway,  ///< no usable route any more
    CameBack,  ///< a usable route again (the address may be the old one)
};

class NetworkWatch {
public:
    using Handler = std::function<void(NetworkChange, const NetworkState& now)>;

    /// Quiet time after the last event before the network is looked at.
    static constexpr std::chrono::milliseconds kSettle{150};
    /// Longest wait after the first event of a burst that does not end.
    static constexpr std::chrono::milliseconds kLongestWait{600};

    /// Watches from now on, for the route to `destination` (see probeNetwork;
    /// empty: the internet). `handler` runs on this thread's event loop.
    explicit NetworkWatch(Handler handler, std::string destination = {});

    /// Watches the route to another destination; takes its state as it is
    /// now, without telling.
    void setDestination(std::string destination);
    /// The state last looked at.
    const NetworkState& state() const { return state_; }
    /// False when the kernel's events cannot be had (nothing is ever told).
    bool watching() const { return events_.listening(); }

private:
    void onEvent();
    void look();

    Handler handler_;
    std::string destination_;
    NetworkState state_;
    QTimer settle_;
    std::chrono::steady_clock::time_point burstStarted_{};
    RouteEvents events_;
};

}  // namespace pelex::network
