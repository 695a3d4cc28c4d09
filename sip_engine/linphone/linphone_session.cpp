// Sessions of the liblinphone client, and the event queue they post to.

#include "codepage/utf8.h"
#include "sip_engine/linphone/linphone_objects.h"
#include "sip_engine/rtc/event_values.h"
#include "sip_engine/rtc/rtc_error.h"
#include "sip_engine/text.h"

namespace pelex::sip_engine::linphone_rtc {

using namespace rtc;

std::string utf8(const std::u16string& text) { return codepage::toUtf8(text); }
std::u16string utf16(const std::string& text) { return codepage::fromUtf8Lossy(text); }

namespace {

std::int32_t maskOf(EventType type) {
    switch (type) {
        case EventType::Client: return event_filter::Client;
        case EventType::RegistrationStateChange: return event_filter::RegistrationStateChange;
        case EventType::SessionStateChange: return event_filter::SessionStateChange;
        case EventType::Media: return event_filter::Media;
    }
    return 0;
}

class Participant final : public IRTCParticipant {
public:
    explicit Participant(std::u16string uri) : uri_(std::move(uri)) {}
    std::u16string UserURI() const override { return uri_; }

private:
    std::u16string uri_;
};

void check(linphone::Status status, const char* what) {
    if (status != 0) throw RTCError(what);
}

}  // namespace

void Context::post(EventType type, std::function<void(IRTCEventSink&, EventType)> deliver) {
    markBusy();
    queue_.push_back({type, std::move(deliver)});
}

void Context::drain() {
    while (!queue_.empty()) {
        Pending next = std::move(queue_.front());
        queue_.pop_front();
        if (sink == nullptr || (filter & maskOf(next.type)) == 0) continue;
        try {
            next.deliver(*sink, next.type);
        } catch (const std::exception&) {
            // A failing handler goes back to the event source, which goes on.
        }
    }
}

linphone::Core& Context::liveCore() {
    if (!core) throw RTCError("the client is not running");
    return *core;
}

std::shared_ptr<linphone::Address> serverAddress(const std::u16string& text) {
    std::string address = utf8(text);
    if (address.rfind("sip:", 0) != 0 && address.rfind("sips:", 0) != 0) address = "sip:" + address;
    auto parsed = linphone::Factory::get()->createAddress(address);
    if (!parsed) throw RTCError("not a SIP server address: " + address);
    return parsed;
}

std::shared_ptr<linphone::Address> sipAddress(const std::u16string& text) {
    const std::string address = sipRequestAddress(text);
    if (address.empty()) throw RTCError("nothing to call in \"" + utf8(text) + "\"");
    auto parsed = linphone::Factory::get()->createAddress(address);
    if (!parsed) throw RTCError("not a SIP address: " + address);
    return parsed;
}

linphone::Call& LinphoneSession::liveCall() const {
    if (!call) throw RTCError("the session has no call");
    if (state == SessionState::Disconnected) throw RTCError("the call has ended");
    context_->markBusy();  // every use sends a request
    return *call;
}

void LinphoneSession::Answer() {
    auto& c = liveCall();
    if (state != SessionState::Incoming) throw RTCError("the session is not incoming");
    changeState(SessionState::Answering, 0, u"");
    check(c.accept(), "accept failed");
}

void LinphoneSession::Terminate(TerminateReason reason) {
    auto& c = liveCall();
    if (reason == TerminateReason::Reject && state == SessionState::Incoming)
        check(c.decline(linphone::Reason::Declined), "decline failed");
    else if (reason == TerminateReason::Busy && state == SessionState::Incoming)
        check(c.decline(linphone::Reason::Busy), "decline failed");
    else
        check(c.terminate(), "terminate failed");
}

std::shared_ptr<IRTCParticipant> LinphoneSession::AddParticipant(const std::u16string& address,
                                                                 const std::u16string& displayName) {
    if (call) throw RTCError("the session already calls someone");
    auto& core = context_->signallingCore();
    auto destination = sipAddress(address);
    if (!displayName.empty()) destination->setDisplayName(utf8(displayName));
    auto params = core.createCallParams(nullptr);
    if (!params) throw RTCError("cannot place a call now");
    params->enableVideo((context_->preferredMedia & (media::VideoSend | media::VideoReceive)) != 0);
    context_->placing = weak_from_this();
    call = core.inviteAddressWithParams(destination, params);
    context_->placing.reset();
    if (!call) throw RTCError("the call could not be placed");
    context_->sessions[call.get()] = weak_from_this();
    participants_.push_back(std::make_shared<Participant>(utf16(destination->asStringUriOnly())));
    return participants_.back();
}

std::shared_ptr<IRTCCollection> LinphoneSession::Participants() const {
    return std::make_shared<ParticipantCollection>(participants_);
}

void LinphoneSession::Hold(std::int32_t) { check(liveCall().pause(), "hold failed"); }
void LinphoneSession::UnHold(std::int32_t) { check(liveCall().resume(), "unhold failed"); }
void LinphoneSession::Refer(const std::u16string& address, const std::u16string&) {
    check(liveCall().transferTo(sipAddress(address)), "transfer failed");
}

void LinphoneSession::adopt(std::shared_ptr<linphone::Call> adopted) {
    call = std::move(adopted);
    context_->sessions[call.get()] = weak_from_this();
    if (auto remote = call->getRemoteAddress())
        participants_.push_back(std::make_shared<Participant>(utf16(remote->asStringUriOnly())));
}

void LinphoneSession::changeState(SessionState next, std::int32_t statusCode, const std::u16string& statusText) {
    state = next;
    announce(next, statusCode, statusText);
}

void LinphoneSession::announce(SessionState next, std::int32_t statusCode, const std::u16string& statusText) {
    auto event = std::make_shared<SessionEvent>();
    event->session = shared_from_this();
    event->state = next;
    event->code = statusCode;
    event->text = statusText;
    context_->post(EventType::SessionStateChange,
                   [event](IRTCEventSink& sink, EventType type) { sink.Event(type, *event); });
}

void LinphoneSession::postMedia(MediaEventType type) {
    for (std::int32_t kind : {media::AudioSend, media::AudioReceive}) {
        auto event = std::make_shared<MediaEvent>();
        event->media = kind;
        event->type = type;
        context_->post(EventType::Media, [event](IRTCEventSink& sink, EventType t) { sink.Event(t, *event); });
    }
}

void LinphoneSession::onCallState(linphone::Call::State callState) {
    using S = linphone::Call::State;
    switch (callState) {
        case S::IncomingReceived: changeState(SessionState::Incoming, 0, u""); break;
        // The stack does not expose provisional reason phrases; each state
        // stands for one kind of provisional response.
        case S::OutgoingInit: changeState(SessionState::InProgress, 0, u""); break;
        case S::OutgoingProgress: changeState(SessionState::InProgress, 100, u"Trying"); break;
        case S::OutgoingRinging: changeState(SessionState::InProgress, 180, u"Ringing"); break;
        case S::OutgoingEarlyMedia: changeState(SessionState::InProgress, 183, u"Session Progress"); break;
        case S::Connected:
            if (state != SessionState::Connected) changeState(SessionState::Connected, 200, u"OK");
            break;
        case S::StreamsRunning:
            if (state != SessionState::Connected) changeState(SessionState::Connected, 200, u"OK");
            if (!mediaStarted_) {
                mediaStarted_ = true;
                postMedia(MediaEventType::Started);
            }
            break;
        case S::Paused:
        case S::PausedByRemote: changeState(SessionState::Hold, 0, u""); break;
        // The far end asks for a transfer: the call itself goes on (the stack
        // holds it and places the new call), so its state stays as it is.
        case S::Referred: announce(SessionState::Refer, 0, u""); break;
        case S::End:
        case S::Error: {
            if (state == SessionState::Disconnected) break;
            std::int32_t code = 0;
            std::u16string text;
            const auto info = call ? call->getErrorInfo() : nullptr;
            if (info && info->getProtocolCode() >= 300) {
                code = info->getProtocolCode();
                text = utf16(info->getPhrase());
            }
            // A call the network took away says so, rather than the stack's
            // "Media lost" or "io error".
            if (mediaStarted_ && context_->networkDown) text = u"Call lost: no network";
            else if (mediaStarted_ && info && info->getReason() == linphone::Reason::IOError)
                text = u"Call lost: the connection failed";
            if (mediaStarted_) postMedia(MediaEventType::Stopped);
            changeState(SessionState::Disconnected, code, text);
            break;
        }
        case S::Released:
            // The stack is done with the call: so is the session.
            context_->sessions.erase(call.get());
            call.reset();
            break;
        default: break;
    }
}

}  // namespace pelex::sip_engine::linphone_rtc
