#pragma once
// Inner objects of the liblinphone client: what its profiles and sessions
// share with it (Context), the profile and the session.

#include <linphone++/linphone.hh>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "sip_engine/linphone/provisioning_reader.h"
#include "sip_engine/linphone/registration_retry.h"
#include "sip_engine/rtc/rtc_client.h"

namespace pelex::sip_engine::linphone_rtc {

class LinphoneSession;
class LinphoneProfile;

std::string utf8(const std::u16string& text);
std::u16string utf16(const std::string& text);

/// Shared by the client and every object it hands out.
struct Context {
    std::shared_ptr<linphone::Core> core;
    rtc::IRTCEventSink* sink = nullptr;
    std::int32_t filter = 0;
    std::int32_t preferredMedia = rtc::media::AudioSend | rtc::media::AudioReceive;
    std::map<const linphone::Call*, std::weak_ptr<LinphoneSession>> sessions;
    std::weak_ptr<LinphoneSession> placing;  // the session whose call is being placed
    std::vector<std::weak_ptr<LinphoneProfile>> profiles;
    /// When the stack was last asked to signal (or reported signalling): it
    /// is turned faster for a while from then on (see turnInterval).
    std::chrono::steady_clock::time_point lastSignalling{};
    void markBusy() {
        lastSignalling = std::chrono::steady_clock::now();
        if (onBusy) onBusy();
    }
    /// Called when the stack becomes busy (the client turns it faster at once).
    std::function<void()> onBusy;
    /// The machine has no usable network (the stack was told so).
    bool networkDown = false;
    /// The stack was told the network changed and is registering anew: the
    /// registration it drops for that is no news until the next outcome.
    bool networkSwitching = false;

    /// Queues an event; it reaches the sink after the current stack call.
    void post(rtc::EventType type, std::function<void(rtc::IRTCEventSink&, rtc::EventType)> deliver);
    /// Delivers the queued events (a nested call goes on with the rest).
    void drain();
    /// Drops the queued events (they hold sessions, which hold this context).
    void discard() { queue_.clear(); }
    /// The core, or RTCError when the client is not running.
    linphone::Core& liveCore();
    /// The core for an operation that sends SIP requests: the stack is turned
    /// fast for a while so the exchange it starts is not slowed down.
    linphone::Core& signallingCore() {
        auto& core = liveCore();
        markBusy();
        return core;
    }

private:
    struct Pending {
        rtc::EventType type;
        std::function<void(rtc::IRTCEventSink&, rtc::EventType)> deliver;
    };
    std::deque<Pending> queue_;
};

class LinphoneProfile final : public rtc::IRTCProfile {
public:
    explicit LinphoneProfile(ProvisionedProfile provisioned) : provisioned(std::move(provisioned)) {}
    rtc::RegistrationState State() const override { return state; }

    ProvisionedProfile provisioned;
    std::shared_ptr<linphone::Account> account;  ///< once enabled, while the stack runs
    std::unique_ptr<RegistrationRetry> retry;    ///< with the account
    rtc::RegistrationState state = rtc::RegistrationState::NotRegistered;
};

class LinphoneSession final : public rtc::IRTCSession,
                              public rtc::IRTCSessionCallControl,
                              public std::enable_shared_from_this<LinphoneSession> {
public:
    explicit LinphoneSession(std::shared_ptr<Context> context) : context_(std::move(context)) {}

    rtc::SessionState State() const override { return state; }
    void Answer() override;
    void Terminate(rtc::TerminateReason reason) override;
    std::shared_ptr<rtc::IRTCParticipant> AddParticipant(const std::u16string& address,
                                                         const std::u16string& displayName) override;
    std::shared_ptr<rtc::IRTCCollection> Participants() const override;
    std::shared_ptr<rtc::IRTCSessionCallControl> CallControl() override { return shared_from_this(); }
    void Hold(std::int32_t cookie) override;
    void UnHold(std::int32_t cookie) override;
    void Refer(const std::u16string& address, const std::u16string& cookie) override;

    /// Takes over `call` (an incoming one, or one the stack placed itself).
    void adopt(std::shared_ptr<linphone::Call> call);
    /// Moves to `next` and posts the session-state event.
    void changeState(rtc::SessionState next, std::int32_t statusCode, const std::u16string& statusText);
    /// Posts a session-state event for `next` without moving to it.
    void announce(rtc::SessionState next, std::int32_t statusCode, const std::u16string& statusText);
    /// The stack's call state `callState` arrived for this session's call.
    void onCallState(linphone::Call::State callState);
    /// Lets go of the stack's call (the stack is stopping): the session has ended.
    void detach() {
        call.reset();
        state = rtc::SessionState::Disconnected;
    }

    rtc::SessionState state = rtc::SessionState::Idle;
    std::shared_ptr<linphone::Call> call;

private:
    linphone::Call& liveCall() const;
    void postMedia(rtc::MediaEventType type);

    std::shared_ptr<Context> context_;
    std::vector<std::shared_ptr<rtc::IRTCParticipant>> participants_;
    bool mediaStarted_ = false;
};

/// The SIP address to call for "number@host" (see sipRequestAddress: the
/// number is escaped as a SIP user part needs). Throws RTCError when there is
/// nothing to call or the stack cannot parse it.
std::shared_ptr<linphone::Address> sipAddress(const std::u16string& text);
/// The address of a SIP server ("host[:port]" or a full "sip:" address).
std::shared_ptr<linphone::Address> serverAddress(const std::u16string& text);

}  // namespace pelex::sip_engine::linphone_rtc
