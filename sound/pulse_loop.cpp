#include "sound/pulse_loop.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <stdexcept>

namespace pelex::sound {

PulseTimer::PulseTimer(pa_mainloop_api* api, std::function<void()> fire) : api_(api), fire_(std::move(fire)) {}

PulseTimer::~PulseTimer() {
    if (event_) api_->time_free(event_);
}

void PulseTimer::start(std::chrono::milliseconds after) {
    struct timeval when;
    pa_timeval_add(pa_gettimeofday(&when), static_cast<pa_usec_t>(after.count()) * PA_USEC_PER_MSEC);
    if (event_) api_->time_restart(event_, &when);
    else event_ = api_->time_new(api_, &when, onTime, this);
    active_ = event_ != nullptr;
}

void PulseTimer::stop() {
    if (event_) api_->time_restart(event_, nullptr);
    active_ = false;
}

void PulseTimer::onTime(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
    auto& timer = *static_cast<PulseTimer*>(self);
    timer.active_ = false;
    timer.fire_();
}

PulseLoop::Lock::Lock(const PulseLoop& loop) : loop_(loop.loop_) { pa_threaded_mainloop_lock(loop_); }
PulseLoop::Lock::~Lock() { pa_threaded_mainloop_unlock(loop_); }

PulseLoop::PulseLoop(std::string clientName, Handlers handlers, std::chrono::milliseconds reconnectDelay,
                     std::chrono::milliseconds longestDelay)
    : clientName_(std::move(clientName)),
      handlers_(std::move(handlers)),
      reconnectDelay_(reconnectDelay),
      longestDelay_(std::max(longestDelay, reconnectDelay)),
      nextDelay_(reconnectDelay) {
    loop_ = pa_threaded_mainloop_new();
    if (!loop_) throw std::runtime_error("no sound server loop");
    pa_threaded_mainloop_set_name(loop_, "pelex-sound");
    retry_ = std::make_unique<PulseTimer>(api(), [this] { connect(); });
}

PulseLoop::~PulseLoop() {
    stop();
    retry_.reset();
    pa_threaded_mainloop_free(loop_);
}

void PulseLoop::start() {
    // The thread is not running yet: no lock needed for the first attempt.
    connect();
    if (pa_threaded_mainloop_start(loop_) < 0) {
        drop();
        throw std::runtime_error("the sound server loop did not start");
    }
    running_ = true;
}

void PulseLoop::stop() {
    if (!running_) return;
    {
        Lock lock(*this);
        closing_ = true;
        retry_->stop();
        drop();
    }
    pa_threaded_mainloop_stop(loop_);
    running_ = false;
}

pa_mainloop_api* PulseLoop::api() const { return pa_threaded_mainloop_get_api(loop_); }

void PulseLoop::connect() {
    std::unique_ptr<pa_proplist, decltype(&pa_proplist_free)> properties(pa_proplist_new(), pa_proplist_free);
    pa_proplist_sets(properties.get(), PA_PROP_APPLICATION_NAME, clientName_.c_str());
    pa_proplist_sets(properties.get(), PA_PROP_APPLICATION_ID, "org.pelex.PelexMSN");
    pa_proplist_sets(properties.get(), PA_PROP_APPLICATION_ICON_NAME, "pelex-softphone");
    context_ = pa_context_new_with_proplist(api(), clientName_.c_str(), properties.get());
    if (context_) {
        pa_context_set_state_callback(context_, onState, this);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) return;
    }
    drop();
    retryLater();
}

// Without a server the attempts grow rarer, so an idle phone on a desktop
// without one costs next to nothing; one that was connected tries again soon.
void PulseLoop::retryLater() {
    retry_->start(nextDelay_);
    nextDelay_ = std::min(nextDelay_ * 2, longestDelay_);
}

void PulseLoop::drop() {
    for (pa_stream* s : orphans_) {
        pa_stream_set_state_callback(s, nullptr, nullptr);
        pa_stream_unref(s);
    }
    orphans_.clear();
    ready_ = false;
    if (!context_) return;
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
}

void PulseLoop::onState(pa_context* context, void* self) {
    auto& loop = *static_cast<PulseLoop*>(self);
    switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY:
            loop.ready_ = true;
            loop.nextDelay_ = loop.reconnectDelay_;
            if (loop.handlers_.ready) loop.handlers_.ready(*context);
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            if (loop.closing_) break;
            // libpulse holds the context until this callback returns.
            loop.drop();
            if (loop.handlers_.lost) loop.handlers_.lost();
            loop.retryLater();
            break;
        default: break;
    }
}

void PulseLoop::abandon(pa_stream* stream) {
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream, nullptr, nullptr);
    switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            pa_stream_disconnect(stream);
            break;
        case PA_STREAM_CREATING:
            // The server has not made it yet; it is ended once it has.
            pa_stream_set_state_callback(stream, onOrphanState, this);
            orphans_.insert(stream);
            return;
        default: break;
    }
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_unref(stream);
}

void PulseLoop::onOrphanState(pa_stream* stream, void* self) {
    auto& loop = *static_cast<PulseLoop*>(self);
    const auto state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY) {
        pa_stream_disconnect(stream);  // comes back here as terminated
        return;
    }
    if (state != PA_STREAM_FAILED && state != PA_STREAM_TERMINATED) return;
    // libpulse holds the stream until this callback returns.
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    if (loop.orphans_.erase(stream) > 0) pa_stream_unref(stream);
}

}  // namespace pelex::sound
