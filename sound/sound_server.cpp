#include "sound/sound_server.h"

#include <pulse/pulseaudio.h>

#include "sound/device_census.h"
#include "sound/pulse_loop.h"

namespace pelex::sound {

struct SoundServer::Callbacks {
    static void event(pa_context* context, pa_subscription_event_type_t type, uint32_t, void* self) {
        static_cast<SoundServer*>(self)->onEvent(*context, type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK,
                                                 type & PA_SUBSCRIPTION_EVENT_TYPE_MASK);
    }
    static void probeAnswer(pa_context* context, const pa_server_info* info, void* self) {
        static_cast<SoundServer*>(self)->onProbeAnswer(*context, info != nullptr);
    }
};

SoundServer::SoundServer(std::string clientName, ServerTiming timing)
    : timing_(timing),
      census_(std::make_unique<DeviceCensus>([this](ServerState s) {
          s.epoch = epoch_;
          publish(std::move(s));
      })),
      loop_(std::make_unique<PulseLoop>(std::move(clientName),
                                        PulseLoop::Handlers{[this](pa_context& c) { onReady(c); },
                                                            [this] { onLost(); }},
                                        timing.reconnectEvery, timing.reconnectAtMost)) {
    probeTimer_ = std::make_unique<PulseTimer>(loop_->api(), [this] { probe(); });
    patienceTimer_ = std::make_unique<PulseTimer>(loop_->api(), [this] { onPatienceOver(); });
    loop_->start();
}

SoundServer::~SoundServer() {
    loop_->stop();
    probeTimer_.reset();
    patienceTimer_.reset();
    loop_.reset();
}

ServerState SoundServer::state() const {
    const std::lock_guard lock(mutex_);
    return state_;
}

void SoundServer::onReady(pa_context& context) {
    ++epoch_;
    connected_ = true;
    pa_context_set_subscribe_callback(&context, Callbacks::event, this);
    const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE |
                                                          PA_SUBSCRIPTION_MASK_CARD | PA_SUBSCRIPTION_MASK_SERVER);
    if (pa_operation* op = pa_context_subscribe(&context, mask, nullptr, nullptr)) pa_operation_unref(op);
    census_->take(context);
    probing_ = false;
    probeTimer_->start(timing_.probeEvery);
}

void SoundServer::onLost() {
    census_->forget();
    probing_ = false;
    probeTimer_->stop();
    patienceTimer_->stop();
    // Another failed attempt to reach a missing server changes nothing.
    if (connected_) ++epoch_;
    connected_ = false;
    ServerState gone;
    gone.known = true;
    gone.epoch = epoch_;
    publish(std::move(gone));
}

void SoundServer::onEvent(pa_context& context, int facility, int kind) {
    // A device's own changes (volume, mostly) change nothing the phone
    // keeps; devices coming and going, a card changing its profile (a
    // headset switching to its call profile) and new defaults do.
    const bool comesOrGoes = kind == PA_SUBSCRIPTION_EVENT_NEW || kind == PA_SUBSCRIPTION_EVENT_REMOVE;
    if (comesOrGoes || facility == PA_SUBSCRIPTION_EVENT_CARD || facility == PA_SUBSCRIPTION_EVENT_SERVER)
        census_->take(context);
}

void SoundServer::probe() {
    probeTimer_->start(timing_.probeEvery);
    pa_context* context = loop_->context();
    if (!context || probing_) return;
    if (pa_operation* op = pa_context_get_server_info(context, Callbacks::probeAnswer, this)) {
        pa_operation_unref(op);
        probing_ = true;
        patienceTimer_->start(timing_.patience);
    }
}

void SoundServer::onPatienceOver() {
    if (!probing_) return;
    ServerState next = state();  // the epoch stays: the server is still there
    next.answering = false;
    publish(std::move(next));
}

void SoundServer::onProbeAnswer(pa_context& context, bool answered) {
    probing_ = false;
    patienceTimer_->stop();
    if (!answered) return;  // timed out: still not answering
    // Back from a stop: what changed meanwhile is read again (the census
    // marks the server as answering once it has the new picture).
    if (!state().answering) census_->take(context);
}

void SoundServer::publish(ServerState next) {
    bool devices = false;
    {
        const std::lock_guard lock(mutex_);
        if (next == state_) return;
        devices = !next.sameDevices(state_);
        state_ = std::move(next);
    }
    QMetaObject::invokeMethod(
        this,
        [this, devices] {
            if (devices) emit devicesChanged();
            emit stateChanged();
        },
        Qt::QueuedConnection);
}

}  // namespace pelex::sound
