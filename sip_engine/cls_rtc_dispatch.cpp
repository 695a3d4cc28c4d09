// clsRTC: the client's events turned into the engine's events.
#include "sip_engine/cls_rtc.h"
#include "platform/failure_policy.h"
#include "sip_engine/object_ref.h"
#include "sip_engine/text.h"

namespace pelex::sip_engine {
using platform::endQuietly;
using platform::skipStep;
using platform::trapNothing;

using namespace rtc;

namespace {

bool settled(RegistrationState state) {
    return state == RegistrationState::NotRegistered || state == RegistrationState::Registered ||
           state == RegistrationState::Rejected || state == RegistrationState::Error ||
           state == RegistrationState::Unregistering;
}

}  // namespace

void clsRTC::Event(EventType type, IRTCEvent& event) {
    trapNothing([&] {
        switch (type) {
            case EventType::Client: OnClientEvent(event); break;
            case EventType::RegistrationStateChange: OnRegistrationStateChange(); break;
            case EventType::SessionStateChange: OnSessionStateChange(event); break;
            case EventType::Media: OnMediaEvent(event); break;
        }
    });
}

void clsRTC::OnClientEvent(IRTCEvent& event) {
    trapNothing([&] {
        if (dynamic_cast<IRTCClientEvent&>(event).EventType() != ClientEventType::AsyncCleanupDone) return;
        deref(g_objRTCClient).Shutdown();
        g_objRTCClient.reset();
        raise(&ClsRTCEvents::onSignOut);
    });
}

// Registration: while the profile's state is unsettled the line shows
// " is registering." and the engine waits for the next registration event,
// at most RegistrationTimeout; then it reports the outcome.
void clsRTC::OnRegistrationStateChange() {
    trapNothing([&] {
        if (registrationAbandoned_) return;
        if (!settled(deref(g_objProfile).State())) {
            raise(&ClsRTCEvents::onStatus, LineNumber + u" is registering.");
            if (registrationWait_ && !registrationWait_->active())
                registrationWait_->start(RegistrationTimeout, [this] { GiveUpRegistration(); });
            return;
        }
        if (registrationWait_) registrationWait_->stop();
        ReportRegistration();
    });
}

void clsRTC::ReportRegistration() {
    // The state is read afresh for every test, as a handler may have run in between.
    auto state = [&] { return deref(g_objProfile).State(); };
    if (state() == RegistrationState::Registered)
        raise(&ClsRTCEvents::onStatus, LineNumber + u" is initialized and ready to make/receive calls.");
    if (state() == RegistrationState::Rejected) {
        raise(&ClsRTCEvents::onStatus, std::u16string(u"Number is rejected."));
        raise(&ClsRTCEvents::onRegFail, std::u16string(u"Number is rejected."));
    }
    if (state() != RegistrationState::Registered) {
        raise(&ClsRTCEvents::onStatus, std::u16string(u"Number is not registered."));
        raise(&ClsRTCEvents::onRegFail, std::u16string(u"Number is not registered."));
    }
    raise(&ClsRTCEvents::onRegOK, static_cast<std::int16_t>(state()));
}

// The registration did not settle in time: stop the profile so the stack stops
// trying, and report the outcome as an error.
void clsRTC::GiveUpRegistration() {
    endQuietly([&] {
        registrationAbandoned_ = true;
        skipStep([&] { deref(g_objProvisioning).DisableProfile(g_objProfile); });
        raise(&ClsRTCEvents::onStatus, std::u16string(u"Number is not registered."));
        raise(&ClsRTCEvents::onRegFail, std::u16string(u"Number is not registered."));
        raise(&ClsRTCEvents::onRegOK, static_cast<std::int16_t>(RegistrationState::Error));
    });
}

void clsRTC::OnSessionStateChange(IRTCEvent& event) {
    // Skip a failing step, go on.
    auto* change = dynamic_cast<IRTCSessionStateChangeEvent*>(&event);
    if (change == nullptr) return;
    SessionState state = SessionState::Idle;
    std::u16string statusText;
    skipStep([&] { state = change->State(); });
    skipStep([&] { statusText = change->StatusText(); });
    skipStep([&] { raise(&ClsRTCEvents::onSessionStateText, statusText); });

    auto status = [&](const std::u16string& text) { skipStep([&] { raise(&ClsRTCEvents::onStatus, text); }); };
    auto hint = [&](void (ClsRTCEvents::*handler)(bool), bool value) {
        skipStep([&] { raise(handler, value); });
    };
    auto signal = [&](void (ClsRTCEvents::*handler)()) { skipStep([&] { raise(handler); }); };

    switch (state) {
        case SessionState::Idle: status(HerName + u" IDLE"); break;
        case SessionState::Incoming: IncomingSession(*change); break;
        case SessionState::Answering:
            status(LineNumber + u" ANSWERING");
            skipStep([&] { deref(g_objRTCClient).PlayRing(RingType::Phone, false); });
            hint(&ClsRTCEvents::onCallAnswer, false);
            break;
        case SessionState::InProgress:
            status(u"INPROGRESS");
            signal(&ClsRTCEvents::onProcessing);
            hint(&ClsRTCEvents::onCallTerminate, true);
            hint(&ClsRTCEvents::onCallConnect, false);
            break;
        case SessionState::Connected:
            status(LineNumber + u" CONNECTED");
            signal(&ClsRTCEvents::onAnswered);
            signal(&ClsRTCEvents::onConnected);
            skipStep([&] { raise(&ClsRTCEvents::onSessionStateText, std::u16string()); });
            break;
        case SessionState::Disconnected: {
            // The end of a session that is not the current call (an incoming
            // session ignored during a call) leaves the current call alone.
            std::shared_ptr<IRTCSession> ended;
            skipStep([&] { ended = change->Session(); });
            if (g_objSession && ended && ended != g_objSession) break;
            g_objSession.reset();
            g_objParticipant.reset();
            g_objSessionCallControl.reset();
            status(LineNumber + u" DISCONNECTED");
            signal(&ClsRTCEvents::onCallDisconnect);
            hint(&ClsRTCEvents::onCallAnswer, false);
            hint(&ClsRTCEvents::onCallTerminate, true);
            hint(&ClsRTCEvents::onCallConnect, true);
            break;
        }
        case SessionState::Hold: status(LineNumber + u" ON HOLD"); break;
        case SessionState::Refer: status(LineNumber + u" HAS BEEN TRANSFERED"); break;
    }
}

void clsRTC::IncomingSession(IRTCSessionStateChangeEvent& change) {
    // Skip a failing step, go on. While a call is connected a new session is ignored.
    bool accept = true;
    skipStep([&] { accept = deref(g_objSession).State() != SessionState::Connected; });
    if (!accept) return;
    skipStep([&] { raise(&ClsRTCEvents::onCallTerminate, true); });
    skipStep([&] { raise(&ClsRTCEvents::onCallConnect, false); });
    skipStep([&] { raise(&ClsRTCEvents::onCallAnswer, true); });
    skipStep([&] { g_objSession = change.Session(); });
    skipStep([&] { g_objSessionCallControl = deref(g_objSession).CallControl(); });
    skipStep([&] { g_objParticipant = deref(deref(g_objSession).Participants()).Item(1); });
    skipStep([&] { userURI = userPart(deref(g_objParticipant).UserURI()); });
    skipStep([&] { raise(&ClsRTCEvents::onStatus, LineNumber + u" INCOMING " + userURI); });
    skipStep([&] { raise(&ClsRTCEvents::onIncomingCall, userURI); });
}

void clsRTC::OnMediaEvent(IRTCEvent& event) {
    // Skip a failing step, go on.
    auto* media = dynamic_cast<IRTCMediaEvent*>(&event);
    if (media == nullptr) return;
    MediaEventType type = MediaEventType::Stopped;
    std::int32_t kind = 0;
    skipStep([&] { type = media->EventType(); });
    skipStep([&] { kind = media->MediaType(); });

    auto show = [&](const std::shared_ptr<IVideoWindow>& window, WindowHandle owner, std::int32_t width,
                    std::int32_t height) {
        skipStep([&] { deref(window).put_WindowStyle(kChildClipSiblingsStyle); });
        skipStep([&] { deref(window).put_Owner(owner); });
        skipStep([&] { deref(window).SetWindowPosition(0, 0, width, height); });
        skipStep([&] { deref(window).put_Visible(true); });
    };
    auto hide = [&](const std::shared_ptr<IVideoWindow>& window) {
        skipStep([&] { deref(window).put_Visible(false); });
        skipStep([&] { deref(window).put_Owner(0); });
    };

    if (type == MediaEventType::Started) {
        if (kind == media::VideoSend) show(g_objVideoSend, picVideoMe, 160, 120);
        else if (kind == media::VideoReceive) show(g_objVideoReceive, picVideoHer, 320, 240);
        else if (kind == media::AudioReceive) skipStep([&] { raise(&ClsRTCEvents::onAudioReceived); });
    } else if (type == MediaEventType::Stopped) {
        if (kind == media::VideoReceive) hide(g_objVideoReceive);
        else hide(g_objVideoSend);
    }
}

}  // namespace pelex::sip_engine
