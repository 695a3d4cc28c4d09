#pragma once
// Wakes the stack as soon as a SIP message arrives.
//
// liblinphone is turned from our event loop; between two turns a message
// waits. Turning it often costs CPU while idle, turning it seldom delays
// every answer. Instead, the stack's SIP socket is watched by the event loop
// and the stack is turned the moment it becomes readable; the timer is left
// to the stack's own timers (retransmissions, refreshes), which need no
// hurry. liblinphone does not hand out its sockets, so the socket is found
// among the process's descriptors by the local port the stack reports.
//
// What cannot be SIP is dropped before it wakes the stack: the stack reads
// one datagram per turn, so a flood of junk to the SIP port would otherwise
// cost a turn per packet and crowd real requests out of the socket's buffer.

#include <QSocketNotifier>

#include <chrono>
#include <functional>
#include <memory>
#include <string_view>

namespace pelex::sip_engine::linphone_rtc {

class SipSocketWatch {
public:
    /// Calls `onReadable` whenever the UDP socket bound to local `port` has a
    /// datagram that may be SIP (see mayBeSip); the others are dropped.
    explicit SipSocketWatch(std::function<void()> onReadable) : onReadable_(std::move(onReadable)) {}

    /// Watches the socket of `port` (0: none), finding it again when the stack
    /// has replaced it. Cheap when nothing changed; call it on every turn.
    void follow(int port);
    /// True while a socket is being watched.
    bool watching() const { return notifier_ != nullptr; }

private:
    std::function<void()> onReadable_;
    std::unique_ptr<QSocketNotifier> notifier_;
    int port_ = 0;
    int fd_ = -1;
    std::chrono::steady_clock::time_point lastSearch_{};
};

/// The descriptor of this process's UDP socket bound to local `port`, or -1.
int findUdpSocket(int port);

/// Whether a datagram beginning with `head` may be SIP: a request line's
/// method (capital letters and a space) or a response's "SIP/2.0 ", after
/// any line ends; line ends alone are a keep-alive. Everything else (an
/// empty datagram too) is junk.
bool mayBeSip(std::string_view head);

}  // namespace pelex::sip_engine::linphone_rtc
