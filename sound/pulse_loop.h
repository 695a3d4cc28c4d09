#pragma once
// The thread that talks to the sound server: one libpulse threaded main loop
// with one context on it, connected to $PULSE_SERVER or the session's server
// without ever starting one, and connected again a moment after the server
// went away or could not be reached.
//
// Everything here runs on the loop's own thread (the handlers, the timers'
// callbacks) or under its lock (PulseLoop::Lock) on any other thread. The
// loop's thread holds the lock only while it runs a callback, and libpulse
// never blocks on the server, so taking the lock is always quick, also
// while the server is stopped.

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>

struct pa_context;
struct pa_mainloop_api;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;
struct timeval;

namespace pelex::sound {

/// A one-shot timer on the loop. Made, started, stopped and destroyed on
/// the loop's thread or under its lock; `fire` runs on the loop's thread.
class PulseTimer {
public:
    PulseTimer(pa_mainloop_api* api, std::function<void()> fire);
    ~PulseTimer();
    PulseTimer(const PulseTimer&) = delete;
    PulseTimer& operator=(const PulseTimer&) = delete;

    /// Fires once, `after` from now (a timer already started starts over).
    void start(std::chrono::milliseconds after);
    void stop();
    bool active() const { return active_; }

private:
    static void onTime(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self);
    pa_mainloop_api* api_;
    std::function<void()> fire_;
    pa_time_event* event_ = nullptr;
    bool active_ = false;
};

class PulseLoop {
public:
    struct Handlers {
        /// The context is ready for requests (loop's thread).
        std::function<void(pa_context& context)> ready;
        /// The context is gone: the server went away or could not be reached
        /// (loop's thread). Its requests will never be answered.
        std::function<void()> lost;
    };

    /// A loop whose context the server will list as `clientName`; nothing
    /// runs before start(). A failed attempt to connect is followed by
    /// another after `reconnectDelay`, doubled after each failure up to
    /// `longestDelay`. Throws std::runtime_error when libpulse fails.
    PulseLoop(std::string clientName, Handlers handlers, std::chrono::milliseconds reconnectDelay,
              std::chrono::milliseconds longestDelay);
    /// Stops, then frees the loop.
    ~PulseLoop();

    /// Starts the loop's thread and the first connection. Throws
    /// std::runtime_error when the thread cannot be started.
    void start();
    /// Disconnects and ends the thread (waits for the thread, never for the
    /// server); no handler runs afterwards. Timers made on the loop may be
    /// freed after it, on any thread.
    void stop();
    PulseLoop(const PulseLoop&) = delete;
    PulseLoop& operator=(const PulseLoop&) = delete;

    /// Holds the loop's lock while it lives (not on the loop's own thread,
    /// which holds it already while it runs a callback).
    class Lock {
    public:
        explicit Lock(const PulseLoop& loop);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* loop_;
    };

    /// The context while it is ready, else null.
    pa_context* context() const { return ready_ ? context_ : nullptr; }
    /// The loop's interface (for timers).
    pa_mainloop_api* api() const;
    /// Takes over `stream`, which its owner no longer wants: it is ended as
    /// soon as the server has made it (a stream still being made cannot be
    /// ended before), and released. Its callbacks are cleared.
    void abandon(pa_stream* stream);
    /// Streams abandoned while still being made, not yet ended.
    std::size_t abandonedStreams() const { return orphans_.size(); }

private:
    void connect();
    void drop();
    void retryLater();
    static void onState(pa_context* context, void* self);
    static void onOrphanState(pa_stream* stream, void* self);

    std::string clientName_;
    Handlers handlers_;
    std::chrono::milliseconds reconnectDelay_, longestDelay_, nextDelay_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool ready_ = false;
    bool closing_ = false;
    bool running_ = false;
    std::unique_ptr<PulseTimer> retry_;
    std::set<pa_stream*> orphans_;  // our references
};

}  // namespace pelex::sound
