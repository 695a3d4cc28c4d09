#include "sip_engine/linphone/sip_socket_watch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <string>

namespace pelex::sip_engine::linphone_rtc {
namespace {

/// The local port of datagram socket `fd`, or 0 when it is none.
int udpPortOf(int fd) {
    int type = 0;
    socklen_t length = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_DGRAM) return 0;
    sockaddr_storage address{};
    length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6&>(address).sin6_port);
    return 0;
}

/// Drops the datagrams waiting on `fd` that cannot be SIP; true when one
/// that may be SIP waits (or the socket has something else to say).
bool sipWaiting(int fd) {
    char head[32];
    for (int dropped = 0; dropped < 1000; ++dropped) {
        const ssize_t n = ::recv(fd, head, sizeof head, MSG_PEEK | MSG_DONTWAIT);
        if (n < 0) return errno != EAGAIN && errno != EWOULDBLOCK;  // an error is the stack's to see
        if (mayBeSip(std::string_view(head, static_cast<std::size_t>(n)))) return true;
        [[maybe_unused]] const ssize_t gone = ::recv(fd, head, sizeof head, MSG_DONTWAIT);  // the rest is cut off
    }
    return true;  // a long burst: let the stack turn meanwhile
}

}  // namespace

bool mayBeSip(std::string_view head) {
    if (head.empty()) return false;
    const auto start = head.find_first_not_of("\r\n");
    if (start == std::string_view::npos) return true;  // keep-alive, or its answer
    head.remove_prefix(start);
    if (head.starts_with("SIP/2.0 ")) return true;
    std::size_t letters = 0;
    while (letters < head.size() && head[letters] >= 'A' && head[letters] <= 'Z') ++letters;
    if (letters == head.size()) return letters > 0;  // cut off within the method
    return letters > 0 && head[letters] == ' ';
}

int findUdpSocket(int port) {
    if (port <= 0) return -1;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const std::string name = entry.path().filename().string();
        int fd = -1;
        if (std::from_chars(name.data(), name.data() + name.size(), fd).ec != std::errc()) continue;
        if (udpPortOf(fd) == port) return fd;
    }
    return -1;
}

void SipSocketWatch::follow(int port) {
    if (notifier_ && port == port_ && udpPortOf(fd_) == port) return;  // still the same socket
    // Not found last time: look again now and then, not on every turn.
    const auto now = std::chrono::steady_clock::now();
    if (!notifier_ && port == port_ && now - lastSearch_ < std::chrono::seconds(1)) return;
    lastSearch_ = now;
    notifier_.reset();
    port_ = port;
    fd_ = findUdpSocket(port);
    if (fd_ < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        if (sipWaiting(fd_)) onReadable_();
    });
}

}  // namespace pelex::sip_engine::linphone_rtc
