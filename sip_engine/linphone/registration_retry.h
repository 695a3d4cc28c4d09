#pragma once
// When an account registers again after a failed attempt.
//
// The stack by itself tries a failed registration again two seconds after a
// timeout, and a rejected one every minute with the same wrong password
// (which gets accounts locked). Instead, a registration that failed (no
// answer, a server error) is tried again no sooner than a minute after the
// failed attempt began: meanwhile the account is paused (its registration
// switched off), and switched on again when the minute is over. A rejected
// password is not tried again until the user enables the account anew.
// Something that makes a new attempt worth it now (the network changed, the
// machine woke up) cuts the pause short with tryNow().

#include <chrono>
#include <functional>
#include <memory>

#include "sip_engine/one_shot_timer.h"

namespace pelex::sip_engine::linphone_rtc {

class RegistrationRetry {
public:
    using Clock = std::chrono::steady_clock;
    /// Shortest time between the starts of two attempts after a failure.
    static constexpr std::chrono::seconds kSpacing{60};

    /// `setRegistering(on)` switches the account's registration on (it
    /// registers at once, or refreshes a registration it has) or off.
    /// `timer` waits out the pauses; `now` is the clock.
    RegistrationRetry(std::function<void(bool on)> setRegistering, std::unique_ptr<OneShotTimer> timer,
                      std::function<Clock::time_point()> now = Clock::now);

    /// The stack began an attempt to register.
    void attemptStarted();
    /// The attempt failed for a reason a later attempt may mend: the account
    /// pauses until kSpacing after the attempt began (no pause when that has
    /// passed already: the stack tries again by itself).
    void failed();
    /// The server refused the password: no attempt until enabled() again.
    void rejected();
    /// The account was switched on: a pause and a rejection are forgotten.
    void enabled();
    /// The account was switched off (or the client is stopping): nothing
    /// more is tried until enabled().
    void disabled();
    /// Registers again at once while the account is on: ends a pause, or
    /// refreshes the registration. Nothing after a rejection.
    void tryNow();

    /// True while paused between a failure and the next attempt (the stack
    /// reports the pause as a cleared registration; it is still failing).
    bool paused() const { return paused_; }
    bool isRejected() const { return rejected_; }

private:
    void resume();

    std::function<void(bool)> setRegistering_;
    std::unique_ptr<OneShotTimer> timer_;
    std::function<Clock::time_point()> now_;
    Clock::time_point attemptStarted_{};
    bool enabled_ = false;
    bool paused_ = false;
    bool rejected_ = false;
};

}  // namespace pelex::sip_engine::linphone_rtc
