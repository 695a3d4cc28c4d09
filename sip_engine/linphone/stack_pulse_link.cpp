#include "sip_engine/linphone/stack_pulse_link.h"

#include <string_view>

#include "sound/pulse_loop.h"

namespace pelex::sip_engine::linphone_rtc {

StackPulseLink::StackPulseLink()
    : loop_(pa_threaded_mainloop_new()), context_(pa_context_new(pa_threaded_mainloop_get_api(loop_), "Pelex")) {}

StackPulseLink::~StackPulseLink() {
    if (context_ != nullptr) {
        {
            Lock lock(*this);
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        context_ = nullptr;
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

std::shared_ptr<StackPulseLink> StackPulseLink::connect(std::chrono::milliseconds within) {
    std::shared_ptr<StackPulseLink> link(new StackPulseLink());
    if (link->context_ == nullptr) return nullptr;
    pa_context_set_state_callback(
        link->context_, [](pa_context*, void* self) { wakeCallback(self); }, link.get());
    if (pa_context_connect(link->context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return nullptr;
    if (pa_threaded_mainloop_start(link->loop_) < 0) return nullptr;
    Lock lock(*link);
    const bool up = link->waitUntil(
        [&] {
            const auto state = pa_context_get_state(link->context_);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        },
        within);
    if (!up || !link->ready()) return nullptr;
    struct Asked {
        StackPulseLink* link;
        bool answered = false;
    } asked{link.get()};
    pa_operation* info = pa_context_get_server_info(
        link->context_,
        [](pa_context*, const pa_server_info* server, void* user) {
            auto* a = static_cast<Asked*>(user);
            if (server != nullptr && server->server_name != nullptr)
                a->link->onPipeWire_ = std::string_view(server->server_name).find("PipeWire") != std::string_view::npos;
            a->answered = true;
            a->link->wake();
        },
        &asked);
    if (info == nullptr) return nullptr;
    const bool answered = link->waitUntil([&] { return asked.answered; }, within);
    if (!answered) pa_operation_cancel(info);
    pa_operation_unref(info);
    return answered ? link : nullptr;
}

bool StackPulseLink::ready() const { return pa_context_get_state(context_) == PA_CONTEXT_READY; }

bool StackPulseLink::waitUntil(const std::function<bool()>& done, std::chrono::milliseconds within) const {
    if (done()) return true;
    // A timer on the loop itself ends the wait: libpulse's wait has no bound.
    sound::PulseTimer deadline(pa_threaded_mainloop_get_api(loop_), [this] { wake(); });
    deadline.start(within);
    bool met = false;
    while (!(met = done()) && deadline.active()) pa_threaded_mainloop_wait(loop_);
    return met;
}

}  // namespace pelex::sip_engine::linphone_rtc
