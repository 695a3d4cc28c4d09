#pragma once
// Where this machine stands on the network, as the kernel sees it now.

#include <string>

namespace pelex::network {

struct NetworkState {
    /// A route to the destination leaves through a link that is up and has
    /// its carrier.
    bool online = false;
    /// The local address that route sends from ("" when there is none).
    std::string address;
    /// The link it leaves through ("" when there is none).
    std::string link;

    bool operator==(const NetworkState&) const = default;
};

/// Asks the kernel how `destination` (an IPv4 or IPv6 address in text form)
/// would be reached from here; nothing is sent. An empty destination stands
/// for the internet at large: an address on it for IPv4, and for IPv6 when
/// IPv4 has no route. A destination that is no address gives an offline state.
NetworkState probeNetwork(const std::string& destination = {});

}  // namespace pelex::network
