#include "sip_engine/linphone/registration_retry.h"

namespace pelex::sip_engine::linphone_rtc {

RegistrationRetry::RegistrationRetry(std::function<void(bool)> setRegistering, std::unique_ptr<OneShotTimer> timer,
                                     std::function<Clock::time_point()> now)
    : setRegistering_(std::move(setRegistering)), timer_(std::move(timer)), now_(std::move(now)) {}

void RegistrationRetry::attemptStarted() { attemptStarted_ = now_(); }

void RegistrationRetry::failed() {
    if (!enabled_ || rejected_) return;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(attemptStarted_ + kSpacing - now_());
    if (wait.count() <= 0) return;
    paused_ = true;
    setRegistering_(false);
    timer_->start(wait, [this] { resume(); });
}

void RegistrationRetry::rejected() {
    timer_->stop();
    paused_ = false;
    rejected_ = true;
    setRegistering_(false);
}

void RegistrationRetry::enabled() {
    timer_->stop();
    enabled_ = true;
    paused_ = false;
    rejected_ = false;
}

void RegistrationRetry::disabled() {
    timer_->stop();
    enabled_ = false;
    paused_ = false;
    rejected_ = false;
}

void RegistrationRetry::tryNow() {
    if (!enabled_ || rejected_) return;
    timer_->stop();
    resume();
}

void RegistrationRetry::resume() {
    paused_ = false;
    setRegistering_(true);
}

}  // namespace pelex::sip_engine::linphone_rtc
