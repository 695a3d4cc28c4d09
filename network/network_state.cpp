#include "network/network_state.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace pelex::network {
namespace {

// Addresses on the public internet, only to ask the kernel which route and
// source address reach it (the well-known public resolvers of Quad9).
constexpr const char* kInternetV4 = "9.9.9.9";
constexpr const char* kInternetV6 = "2620:fe::fe";

bool parse(const std::string& text, sockaddr_storage& out, socklen_t& length) {
    out = {};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
    if (::inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(9);
        length = sizeof *v4;
        return true;
    }
    if (::inet_pton(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(9);
        length = sizeof *v6;
        return true;
    }
    return false;
}

std::string textOf(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET)
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    else if (address->sa_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text, sizeof text);
    return text;
}

/// The local address the kernel would send to `destination` from, or "".
std::string sourceFor(const sockaddr_storage& destination, socklen_t length) {
    const int fd = ::socket(destination.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    std::string source;
    sockaddr_storage local{};
    socklen_t localLength = sizeof local;
    // Connecting a datagram socket only looks the route up.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&destination), length) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) == 0)
        source = textOf(reinterpret_cast<const sockaddr*>(&local));
    ::close(fd);
    return source;
}

NetworkState stateFor(const std::string& destination) {
    sockaddr_storage target{};
    socklen_t length = 0;
    if (!parse(destination, target, length)) return {};
    NetworkState state;
    state.address = sourceFor(target, length);
    if (state.address.empty()) return {};
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return {};
    const std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owned(list, &::freeifaddrs);
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || textOf(entry->ifa_addr) != state.address) continue;
        state.link = entry->ifa_name;
        // A link without carrier keeps its routes ("linkdown"), so the route
        // alone does not say that packets get anywhere.
        state.online = (entry->ifa_flags & IFF_UP) != 0 && (entry->ifa_flags & IFF_RUNNING) != 0;
        break;
    }
    return state;
}

}  // namespace

NetworkState probeNetwork(const std::string& destination) {
    if (!destination.empty()) return stateFor(destination);
    NetworkState state = stateFor(kInternetV4);
    return state.online ? state : stateFor(kInternetV6);
}

}  // namespace pelex::network
