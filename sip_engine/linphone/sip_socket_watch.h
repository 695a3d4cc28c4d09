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

#include <QSocketNotifier>

#include <chrono>
#include <functional>
#include <memory>

namespace pelex::sip_engine::linphone_rtc {

class SipSocketWatch {
public:
    /// Calls `onReadable` whenever the UDP socket bound to local `port` has data.
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

}  // namespace pelex::sip_engine::linphone_rtc
