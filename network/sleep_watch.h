#pragma once
// Tells when the machine is about to sleep and when it has woken up, from
// logind's PrepareForSleep signal on the system bus. Without a system bus, or
// without logind on it, nothing is ever told and nothing else changes.

#include <QObject>

#include <functional>

namespace pelex::network {

enum class SleepEvent {
    GoingToSleep,
    Resumed,
};

class SleepWatch final : public QObject {
    Q_OBJECT
public:
    /// Listens from now on; `handler` runs on this thread's event loop. The
    /// system bus is $DBUS_SYSTEM_BUS_ADDRESS, else the standard one.
    explicit SleepWatch(std::function<void(SleepEvent)> handler);

    /// True when the system bus was there to listen on.
    bool listening() const { return listening_; }

private slots:
    void prepareForSleep(bool start);

private:
    std::function<void(SleepEvent)> handler_;
    bool listening_ = false;
};

}  // namespace pelex::network
