#pragma once
// The client's profiles on the stack: creating, enabling and disabling them,
// and the stack's registration states turned into each profile's state and
// registration events. Failed registrations are retried as RegistrationRetry
// says.

#include <linphone++/linphone.hh>

#include <memory>
#include <string>

#include "sip_engine/linphone/linphone_objects.h"
#include "sip_engine/one_shot_timer.h"

namespace pelex::sip_engine::linphone_rtc {

class AccountRegistrations {
public:
    /// `timers` makes the timers that wait out retry pauses.
    AccountRegistrations(std::shared_ptr<Context> context, OneShotTimerFactory timers);

    /// A new profile from provisioning `document` (see IRTCClientProvisioning).
    std::shared_ptr<rtc::IRTCProfile> create(const std::u16string& document);
    /// Creates the profile's account on first use, and starts registering it.
    void enable(const std::shared_ptr<rtc::IRTCProfile>& profile);
    /// Stops registering the profile (a registration it has is withdrawn).
    void disable(const std::shared_ptr<rtc::IRTCProfile>& profile);
    /// The stack reported `state` for `account`.
    void onStateChanged(const std::shared_ptr<linphone::Account>& account, linphone::RegistrationState state,
                        const std::string& message);
    /// Every enabled, not rejected profile registers again at once, without
    /// waiting out a retry pause (see RegistrationRetry::tryNow).
    void tryNow();
    /// Every profile that waits out a retry pause registers at once; the
    /// others are left as they are.
    void endPauses();
    /// Sign-out: every account of `core` stops registering; from here on no
    /// registration event is posted (the sign-out has its own clean-up event).
    void stopAll(linphone::Core& core);
    /// The stack is going: the profiles let go of their accounts.
    void release();

private:
    std::shared_ptr<LinphoneProfile> profileOf(const std::shared_ptr<linphone::Account>& account) const;
    void setState(LinphoneProfile& profile, rtc::RegistrationState state, std::int32_t code, std::u16string text);

    std::shared_ptr<Context> context_;
    OneShotTimerFactory timers_;
    bool stopped_ = false;
};

}  // namespace pelex::sip_engine::linphone_rtc
