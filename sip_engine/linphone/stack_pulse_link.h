#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <functional>
#include <memory>

namespace pelex::sip_engine::linphone_rtc {

// One connection of the stack's sound devices to the sound server: libpulse's
// threaded main loop and a context on it. Callbacks run on the loop's thread
// with its lock held; everything else takes the lock (Lock) first. Streams
// keep the connection alive (shared ownership) for as long as they run.
class StackPulseLink {
public:
    // Connects and waits for the server for at most `within`; nullptr when it
    // did not answer or refused.
    static std::shared_ptr<StackPulseLink> connect(std::chrono::milliseconds within);
    ~StackPulseLink();
    StackPulseLink(const StackPulseLink&) = delete;
    StackPulseLink& operator=(const StackPulseLink&) = delete;

    class Lock {
    public:
        explicit Lock(const StackPulseLink& link) : loop_(link.loop_) { pa_threaded_mainloop_lock(loop_); }
        ~Lock() { pa_threaded_mainloop_unlock(loop_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* loop_;
    };

    pa_context* context() const { return context_; }
    // Whether the server is PipeWire's PulseAudio server (it says so in its
    // name), which handles buffers its own way.
    bool onPipeWire() const { return onPipeWire_; }
    bool ready() const;  // with the lock held
    // With the lock held: waits until `done` holds or `within` has passed;
    // whatever libpulse reports through `wake` ends a wait to look again.
    bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds within) const;
    void wake() const { pa_threaded_mainloop_signal(loop_, 0); }
    // A callback for libpulse that wakes the waiting thread; its user data
    // must be the link.
    static void wakeCallback(void* link) { static_cast<StackPulseLink*>(link)->wake(); }

private:
    StackPulseLink();
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool onPipeWire_ = false;
};

}  // namespace pelex::sip_engine::linphone_rtc
