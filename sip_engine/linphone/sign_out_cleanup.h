#pragma once
// The sign-out's clean-up on a running core (IRTCClient::PrepareForShutdown):
// its calls end, and it is done once no call and no registration is left, or
// kBound after it began, whichever comes first. The core itself is stopped
// afterwards, in the background (core_stopper.h).

#include <linphone++/linphone.hh>

#include <chrono>

namespace pelex::sip_engine::linphone_rtc {

class SignOutCleanup {
public:
    using Clock = std::chrono::steady_clock;
    /// Longest wait for the far ends and the registrar to answer.
    static constexpr std::chrono::seconds kBound{3};

    /// Ends every call of `core`. False when the clean-up had begun already.
    bool begin(linphone::Core& core);
    bool begun() const { return begun_; }
    /// True once, when asked for the first time after the clean-up is done.
    bool finishedNow(linphone::Core& core);

private:
    bool begun_ = false;
    bool reported_ = false;
    Clock::time_point deadline_{};
};

}  // namespace pelex::sip_engine::linphone_rtc
