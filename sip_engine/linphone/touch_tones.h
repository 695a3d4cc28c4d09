#pragma once
// Touch tones on the stack's current call: the tone codes of the RTC client
// turned into the stack's characters and handed, paced (TonePacer), to the
// call they were typed on.

#include <linphone++/linphone.hh>

#include <cstdint>
#include <memory>

#include "sip_engine/linphone/tone_pacer.h"

namespace pelex::sip_engine::linphone_rtc {

class TouchTones {
public:
    TouchTones() = default;
    TouchTones(const TouchTones&) = delete;
    TouchTones& operator=(const TouchTones&) = delete;

    /// Queues tone `code` (0-9, 10 star, 11 pound, 12-15 A-D, 16 flash) for
    /// the current call of `core`. Tones still waiting for an earlier call
    /// are dropped. Throws RTCError for another code or without a call.
    void send(linphone::Core& core, std::int32_t code);
    /// Drops the waiting tones and forgets the call (the stack is going).
    void clear();

private:
    /// Hands one paced tone to its call, while that call lasts.
    bool sendNow(char tone);

    std::weak_ptr<linphone::Call> call_;
    TonePacer pacer_{[this](char tone) { return sendNow(tone); }};
};

}  // namespace pelex::sip_engine::linphone_rtc
