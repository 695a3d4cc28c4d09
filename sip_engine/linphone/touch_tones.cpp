#include "sip_engine/linphone/touch_tones.h"

#include "sip_engine/rtc/rtc_error.h"

namespace pelex::sip_engine::linphone_rtc {

void TouchTones::send(linphone::Core& core, std::int32_t code) {
    static constexpr char kTones[] = "0123456789*#ABCD!";
    if (code < 0 || code > 16) throw rtc::RTCError("no such touch tone");
    auto call = core.getCurrentCall();
    if (!call) throw rtc::RTCError("no call to send a touch tone on");
    if (call_.lock() != call) pacer_.clear();
    call_ = call;
    pacer_.add(kTones[code]);
}

void TouchTones::clear() {
    pacer_.clear();
    call_.reset();
}

bool TouchTones::sendNow(char tone) {
    auto call = call_.lock();
    if (!call) return false;
    const auto state = call->getState();
    if (state == linphone::Call::State::End || state == linphone::Call::State::Released ||
        state == linphone::Call::State::Error)
        return false;
    return call->sendDtmf(tone) == 0;
}

}  // namespace pelex::sip_engine::linphone_rtc
