#pragma once
// A one-shot timer on the owner's thread: the engine's only way to wait.

#include <chrono>
#include <functional>
#include <memory>

namespace pelex::sip_engine {

class OneShotTimer {
public:
    virtual ~OneShotTimer() = default;
    /// Runs `onTimeout` once, `delay` from now, on the owner's thread,
    /// replacing any pending run.
    virtual void start(std::chrono::milliseconds delay, std::function<void()> onTimeout) = 0;
    /// Cancels the pending run, if any.
    virtual void stop() = 0;
    /// True while a run is pending.
    virtual bool active() const = 0;
};

using OneShotTimerFactory = std::function<std::unique_ptr<OneShotTimer>()>;

}  // namespace pelex::sip_engine
