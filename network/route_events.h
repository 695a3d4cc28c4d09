#pragma once
// The kernel's news about links, addresses and routes (rtnetlink), read from
// the event loop. It says only that something changed; what changed is for
// the reader to look up (see probeNetwork). The socket belongs to the network
// namespace of the thread that makes it.

#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace pelex::network {

class RouteEvents {
public:
    /// Listens from now on; `onChange` runs on this thread's event loop after
    /// each batch of link, address or route messages (also when messages
    /// were lost because too many came at once).
    explicit RouteEvents(std::function<void()> onChange);
    ~RouteEvents();
    RouteEvents(const RouteEvents&) = delete;
    RouteEvents& operator=(const RouteEvents&) = delete;

    /// False when the kernel refused the socket (then nothing is ever told).
    bool listening() const { return notifier_ != nullptr; }

private:
    void read();

    std::function<void()> onChange_;
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace pelex::network
