#include "sip_engine/linphone/account_registrations.h"

#include "sip_engine/linphone/stack_account.h"
#include "sip_engine/rtc/event_values.h"
#include "sip_engine/rtc/rtc_error.h"

namespace pelex::sip_engine::linphone_rtc {

using namespace rtc;

namespace {

bool isRejection(int code) { return code == 401 || code == 403 || code == 407; }

std::shared_ptr<LinphoneProfile> ours(const std::shared_ptr<IRTCProfile>& profile) {
    auto p = std::dynamic_pointer_cast<LinphoneProfile>(profile);
    if (!p) throw RTCError("not a profile of this client");
    return p;
}

}  // namespace

AccountRegistrations::AccountRegistrations(std::shared_ptr<Context> context, OneShotTimerFactory timers)
    : context_(std::move(context)), timers_(std::move(timers)) {}

std::shared_ptr<IRTCProfile> AccountRegistrations::create(const std::u16string& document) {
    context_->liveCore();
    auto profile = std::make_shared<LinphoneProfile>(readProvisioning(document));
    context_->profiles.push_back(profile);
    return profile;
}

void AccountRegistrations::enable(const std::shared_ptr<IRTCProfile>& profile) {
    auto& core = context_->signallingCore();
    auto p = ours(profile);
    if (!p->account) {
        auto account = createAccount(core, p->provisioned);
        p->retry = std::make_unique<RegistrationRetry>(
            [weakAccount = std::weak_ptr(account), weakContext = std::weak_ptr(context_)](bool on) {
                auto account = weakAccount.lock();
                if (!account) return;
                if (auto context = weakContext.lock(); context && on) context->markBusy();
                switchRegistration(*account, on);
            },
            timers_());
        p->retry->enabled();
        p->account = std::move(account);
        core.addAccount(p->account);
        core.setDefaultAccount(p->account);
        return;
    }
    p->retry->enabled();
    switchRegistration(*p->account, true);
}

void AccountRegistrations::disable(const std::shared_ptr<IRTCProfile>& profile) {
    context_->signallingCore();
    auto p = ours(profile);
    if (!p->account) return;
    const bool wasRegistered = p->state == RegistrationState::Registered;
    p->retry->disabled();
    switchRegistration(*p->account, false);
    setState(*p, wasRegistered ? RegistrationState::Unregistering : RegistrationState::NotRegistered, 0, u"");
}

void AccountRegistrations::onStateChanged(const std::shared_ptr<linphone::Account>& account,
                                          linphone::RegistrationState state, const std::string& message) {
    auto profile = profileOf(account);
    if (!profile || !profile->retry || profile->retry->isRejected() || stopped_) return;
    auto& retry = *profile->retry;
    const auto info = account->getErrorInfo();
    const int code = info ? info->getProtocolCode() : 0;
    using R = linphone::RegistrationState;
    RegistrationState mapped = profile->state;
    switch (state) {
        case R::None:
        case R::Cleared:
            // Pausing between attempts clears the account; it is still
            // failing. A network change drops the registration to make a new
            // one from the new address.
            if (retry.paused() || context_->networkSwitching) return;
            mapped = RegistrationState::NotRegistered;
            break;
        case R::Progress:
            context_->networkSwitching = false;  // the new registration is under way
            retry.attemptStarted();
            if (profile->state != RegistrationState::Registered) mapped = RegistrationState::Registering;
            break;
        case R::Ok: mapped = RegistrationState::Registered; break;
        case R::Failed:
            if (isRejection(code)) {
                retry.rejected();
                mapped = RegistrationState::Rejected;
            } else {
                retry.failed();
                mapped = RegistrationState::Error;
            }
            break;
        default: break;
    }
    setState(*profile, mapped, code, utf16(info && !info->getPhrase().empty() ? info->getPhrase() : message));
}

void AccountRegistrations::tryNow() {
    if (stopped_) return;
    for (const auto& weak : context_->profiles)
        if (auto p = weak.lock(); p && p->retry) p->retry->tryNow();
}

void AccountRegistrations::endPauses() {
    if (stopped_) return;
    for (const auto& weak : context_->profiles)
        if (auto p = weak.lock(); p && p->retry && p->retry->paused()) p->retry->tryNow();
}

void AccountRegistrations::stopAll(linphone::Core& core) {
    stopped_ = true;
    for (const auto& weak : context_->profiles)
        if (auto p = weak.lock(); p && p->retry) p->retry->disabled();
    for (const auto& account : core.getAccountList()) switchRegistration(*account, false);
}

void AccountRegistrations::release() {
    for (const auto& weak : context_->profiles) {
        if (auto p = weak.lock()) {
            p->retry.reset();
            p->account.reset();
        }
    }
}

std::shared_ptr<LinphoneProfile> AccountRegistrations::profileOf(
    const std::shared_ptr<linphone::Account>& account) const {
    for (const auto& weak : context_->profiles)
        if (auto p = weak.lock(); p && p->account == account) return p;
    return nullptr;
}

void AccountRegistrations::setState(LinphoneProfile& profile, RegistrationState state, std::int32_t code,
                                    std::u16string text) {
    if (profile.state == state) return;
    profile.state = state;
    auto event = std::make_shared<RegistrationEvent>();
    event->state = state;
    event->code = code;
    event->text = std::move(text);
    for (const auto& weak : context_->profiles)
        if (auto p = weak.lock(); p.get() == &profile) event->profile = p;
    context_->post(EventType::RegistrationStateChange,
                   [event](IRTCEventSink& sink, EventType type) { sink.Event(type, *event); });
}

}  // namespace pelex::sip_engine::linphone_rtc
