#include "network/route_events.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace pelex::network {

RouteEvents::RouteEvents(std::function<void()> onChange) : onChange_(std::move(onChange)) {
    fd_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd_ < 0) return;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { read(); });
}

RouteEvents::~RouteEvents() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
}

// Everything waiting is read at once, so a burst (an address and its routes)
// makes one call; only messages from the kernel itself count.
void RouteEvents::read() {
    bool changed = false;
    alignas(nlmsghdr) char buffer[16384];
    for (;;) {
        sockaddr_nl from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0) {
            if (errno == ENOBUFS) {  // more news than the socket could hold: some were lost
                changed = true;
                continue;
            }
            if (errno == EINTR) continue;
            break;  // EAGAIN: all read
        }
        if (n == 0) break;
        if (from.nl_pid != 0) continue;
        int length = static_cast<int>(n);
        for (auto* message = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(message, length);
             message = NLMSG_NEXT(message, length)) {
            switch (message->nlmsg_type) {
                case RTM_NEWLINK:
                case RTM_DELLINK:
                case RTM_NEWADDR:
                case RTM_DELADDR:
                case RTM_NEWROUTE:
                case RTM_DELROUTE: changed = true; break;
                default: break;
            }
        }
    }
    if (changed && onChange_) onChange_();
}

}  // namespace pelex::network
