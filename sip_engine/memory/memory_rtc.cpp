#include "sip_engine/memory/memory_rtc.h"

#include <algorithm>
#include <utility>

#include "sip_engine/rtc/event_values.h"
#include "sip_engine/rtc/rtc_error.h"

namespace pelex::sip_engine::memory {
namespace {

using namespace rtc;

std::string num(std::int64_t value) { return std::to_string(value); }
template <class E>
std::string num(E value) { return std::to_string(static_cast<std::int32_t>(value)); }

}  // namespace

std::string narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

void Script::record(const std::string& call) {
    calls.push_back(call);
    if (failing.count(call.substr(0, call.find(' '))) != 0) throw RTCError(call + " failed");
}

RegistrationState MemoryProfile::State() const {
    script_->record("Profile.State");
    return state;
}

MemorySession::MemorySession(std::shared_ptr<Script> script, SessionState initial)
    : state(initial), script_(std::move(script)) {}

SessionState MemorySession::State() const {
    script_->record("Session.State");
    return state;
}
void MemorySession::Answer() { script_->record("Answer"); }
void MemorySession::Terminate(TerminateReason reason) { script_->record("Terminate " + num(reason)); }
std::shared_ptr<IRTCParticipant> MemorySession::AddParticipant(const std::u16string& address,
                                                               const std::u16string& displayName) {
    script_->record("AddParticipant " + narrow(address) + "|" + narrow(displayName));
    participants.push_back(std::make_shared<MemoryParticipant>(address));
    return participants.back();
}
std::shared_ptr<IRTCCollection> MemorySession::Participants() const {
    script_->record("Participants");
    return std::make_shared<ParticipantCollection>(
        std::vector<std::shared_ptr<IRTCParticipant>>(participants.begin(), participants.end()));
}
std::shared_ptr<IRTCSessionCallControl> MemorySession::CallControl() {
    script_->record("CallControl");
    return shared_from_this();
}
void MemorySession::Hold(std::int32_t cookie) { script_->record("Hold " + num(cookie)); }
void MemorySession::UnHold(std::int32_t cookie) { script_->record("UnHold " + num(cookie)); }
void MemorySession::Refer(const std::u16string& address, const std::u16string& cookie) {
    script_->record("Refer " + narrow(address) + "|" + narrow(cookie));
}

MemoryClient::MemoryClient() : script(std::make_shared<Script>()) {}

void MemoryClient::Initialize() { script->record("Initialize"); }
std::shared_ptr<IRTCClientProvisioning> MemoryClient::Provisioning() {
    script->record("Provisioning");
    return shared_from_this();
}
void MemoryClient::put_EventFilter(std::int32_t filter) { script->record("put_EventFilter " + num(filter)); }
void MemoryClient::put_ListenForIncomingSessions(ListenMode mode) {
    script->record("put_ListenForIncomingSessions " + num(mode));
}
void MemoryClient::SetPreferredMediaTypes(std::int32_t mediaTypes, bool persistent) {
    script->record("SetPreferredMediaTypes " + num(mediaTypes) + " " + (persistent ? "true" : "false"));
}
std::shared_ptr<IRTCSession> MemoryClient::CreateSession(SessionType type, const std::u16string& localPhoneURI,
                                                         const std::shared_ptr<IRTCProfile>& profile,
                                                         std::int32_t flags) {
    script->record("CreateSession " + num(type) + " '" + narrow(localPhoneURI) + "' " +
                   (profile ? "profile" : "null") + " " + num(flags));
    sessions.push_back(std::make_shared<MemorySession>(script, SessionState::Idle));
    return sessions.back();
}
void MemoryClient::PlayRing(RingType type, bool play) {
    script->record("PlayRing " + num(type) + " " + (play ? "true" : "false"));
}
void MemoryClient::SendDTMF(std::int32_t toneCode) { script->record("SendDTMF " + num(toneCode)); }
void MemoryClient::InvokeTuningWizard(WindowHandle parent) {
    script->record("InvokeTuningWizard " + num(static_cast<std::int64_t>(parent)));
}
void MemoryClient::PrepareForShutdown() { script->record("PrepareForShutdown"); }
void MemoryClient::Shutdown() { script->record("Shutdown"); }
void MemoryClient::Advise(IRTCEventSink& sink) {
    script->record("Advise");
    sink_ = &sink;
}
void MemoryClient::Unadvise() {
    script->record("Unadvise");
    sink_ = nullptr;
}

std::shared_ptr<IRTCProfile> MemoryClient::CreateProfile(const std::u16string& document) {
    script->record("CreateProfile");
    lastDocument = document;
    profile = std::make_shared<MemoryProfile>(script);
    return profile;
}
void MemoryClient::EnableProfile(const std::shared_ptr<IRTCProfile>& p, std::int32_t registerFlags) {
    script->record("EnableProfile " + std::string(p ? "profile" : "null") + " " + num(registerFlags));
    if (!p) throw RTCError("no profile");
}
void MemoryClient::DisableProfile(const std::shared_ptr<IRTCProfile>& p) {
    script->record("DisableProfile " + std::string(p ? "profile" : "null"));
    if (!p) throw RTCError("no profile");
}

void MemoryClient::deliver(EventType type, IRTCEvent& event) {
    if (sink_ != nullptr) sink_->Event(type, event);
}

void MemoryClient::fireRegistration(RegistrationState state) {
    if (profile) profile->state = state;
    RegistrationEvent event(profile, state);
    deliver(EventType::RegistrationStateChange, event);
}

void MemoryClient::fireSessionState(const std::shared_ptr<MemorySession>& session, SessionState state,
                                    const std::u16string& statusText) {
    session->state = state;
    SessionEvent event;
    event.session = session;
    event.state = state;
    event.text = statusText;
    deliver(EventType::SessionStateChange, event);
}

std::shared_ptr<MemorySession> MemoryClient::fireIncoming(const std::u16string& remoteURI) {
    auto session = std::make_shared<MemorySession>(script, SessionState::Incoming);
    session->participants.push_back(std::make_shared<MemoryParticipant>(remoteURI));
    sessions.push_back(session);
    fireSessionState(session, SessionState::Incoming, u"Incoming call");
    return session;
}

void MemoryClient::fireClientEvent(ClientEventType type) {
    ClientEvent event(type);
    deliver(EventType::Client, event);
}

void MemoryClient::fireMedia(std::int32_t mediaType, MediaEventType type) {
    MediaEvent event;
    event.media = mediaType;
    event.type = type;
    deliver(EventType::Media, event);
}

class ManualTimers::Timer final : public OneShotTimer {
public:
    explicit Timer(ManualTimers& hub) : hub_(hub) { hub_.timers_.push_back(this); }
    ~Timer() override { std::erase(hub_.timers_, this); }
    void start(std::chrono::milliseconds delay, std::function<void()> onTimeout) override {
        hub_.lastDelay_ = delay;
        callback_ = std::move(onTimeout);
    }
    void stop() override { callback_ = nullptr; }
    bool active() const override { return static_cast<bool>(callback_); }
    void fire() {
        auto callback = std::exchange(callback_, nullptr);
        if (callback) callback();
    }

private:
    ManualTimers& hub_;
    std::function<void()> callback_;
};

OneShotTimerFactory ManualTimers::factory() {
    return [this] { return std::make_unique<Timer>(*this); };
}

bool ManualTimers::anyActive() const {
    return std::any_of(timers_.begin(), timers_.end(), [](const Timer* t) { return t->active(); });
}

void ManualTimers::fireAll() {
    for (Timer* timer : std::vector<Timer*>(timers_)) timer->fire();
}

}  // namespace pelex::sip_engine::memory
