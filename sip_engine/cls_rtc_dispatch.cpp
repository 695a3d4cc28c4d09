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

/// How a settled registration state is shown on the line.
clsRTC::Shown clsRTC::shownAs(RegistrationState state) {
    if (state == RegistrationState::Registered) return Shown::Registered;
    if (state == RegistrationState::Rejected) return Shown::Rejected;
    return Shown::NotRegistered;
}

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
        switch (dynamic_cast<IRTCClientEvent&>(event).EventType()) {
            case ClientEventType::AsyncCleanupDone:
                deref(g_objRTCClient).Shutdown();
                g_objRTCClient.reset();
                raise(&ClsRTCEvents::onSignOut);
                break;
            case ClientEventType::NetworkUnavailable: OnNetworkLost(); break;
            case ClientEventType::NetworkAvailable: OnNetworkBack(); break;
            default: break;
        }
    });
}

// The network went away: registration and calls wait for it. The line says
// so rather than showing a failed registration with its message box (the
// network comes and goes without the user doing anything); during a call
// the call's status says so, and the line once the call has ended.
void clsRTC::OnNetworkLost() {
    networkGone_ = true;
    if (signingOut_) return;
    if (registrationWait_) registrationWait_->stop();
    if (callInProgress()) {
        raise(&ClsRTCEvents::onSessionStateText, std::u16string(u"Waiting for the network"));
        registrationReportDeferred_ = true;
        return;
    }
    ShowNetworkLost();
}

void clsRTC::ShowNetworkLost() {
    registrationShown_ = Shown::NoNetwork;
    raise(&ClsRTCEvents::onStatus, LineNumber + u" is waiting for the network.");
}

// The network is back: the client registers at once (and repairs a call in
// progress); the line shows that, then the outcome as for any registration.
void clsRTC::OnNetworkBack() {
    networkGone_ = false;
    if (signingOut_) return;
    if (callInProgress()) {
        raise(&ClsRTCEvents::onSessionStateText, std::u16string());
        return;
    }
    if (registrationShown_ == Shown::NoNetwork) raise(&ClsRTCEvents::onStatus, LineNumber + u" is registering.");
}

// Registration. Until the first outcome is shown, an unsettled profile
// shows " is registering." and the engine waits for the next registration
// event, at most RegistrationTimeout; then it shows the outcome. After that
// the stack goes on by itself (it retries a failed registration and refreshes
// a good one before it expires): its attempts are not shown, only an outcome
// that differs from the one on the line, and never during a call (it is shown
// when the call ends) nor once the user signs out.
void clsRTC::OnRegistrationStateChange() {
    trapNothing([&] {
        if (signingOut_) return;
        const RegistrationState state = deref(g_objProfile).State();
        // Without a network a failed registration is no news: the line says
        // the network is gone (once a call in progress has ended).
        if (networkGone_ && state != RegistrationState::Registered) {
            registrationReportDeferred_ = callInProgress();
            if (!registrationReportDeferred_ && registrationShown_ != Shown::NoNetwork) ShowNetworkLost();
            return;
        }
        if (!settled(state)) {
            if (registrationShown_ != Shown::Nothing) return;
            raise(&ClsRTCEvents::onStatus, LineNumber + u" is registering.");
            if (registrationWait_ && !registrationWait_->active())
                registrationWait_->start(RegistrationTimeout, [this] { GiveUpRegistration(); });
            return;
        }
        if (registrationWait_) registrationWait_->stop();
        if (registrationShown_ != Shown::Nothing) {
            registrationReportDeferred_ = false;
            if (shownAs(state) == registrationShown_) return;
            if (callInProgress()) {
                registrationReportDeferred_ = true;
                return;
            }
        }
        ReportRegistration();
    });
}

void clsRTC::ReportRegistration() {
    // The state is read afresh for every test, as a handler may have run in between.
    auto state = [&] { return deref(g_objProfile).State(); };
    registrationReportDeferred_ = false;
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
    const RegistrationState outcome = state();
    registrationShown_ = shownAs(outcome);
    raise(&ClsRTCEvents::onRegOK, static_cast<std::int16_t>(outcome));
}

// The first registration did not settle in time: the line says so, and the
// stack keeps trying in the background; a later success is shown then.
void clsRTC::GiveUpRegistration() {
    endQuietly([&] {
        if (signingOut_ || registrationShown_ != Shown::Nothing) return;
        registrationShown_ = Shown::NotRegistered;
        raise(&ClsRTCEvents::onStatus, std::u16string(u"Number is not registered."));
        raise(&ClsRTCEvents::onRegFail, std::u16string(u"Number is not registered."));
        raise(&ClsRTCEvents::onRegOK, static_cast<std::int16_t>(RegistrationState::Error));
    });
}

// A call is in progress while the current session has started and not ended.
bool clsRTC::callInProgress() const {
    if (!g_objSession) return false;
    SessionState state = SessionState::Disconnected;
    skipStep([&] { state = g_objSession->State(); });
    return state != SessionState::Idle && state != SessionState::Disconnected;
}

void clsRTC::OnSessionStateChange(IRTCEvent& event) {
    // Skip a failing step, go on.
    auto* change = dynamic_cast<IRTCSessionStateChangeEvent*>(&event);
    if (change == nullptr) return;
    SessionState state = SessionState::Idle;
    std::u16string statusText;
    std::shared_ptr<IRTCSession> session;
    skipStep([&] { state = change->State(); });
    skipStep([&] { statusText = change->StatusText(); });
    skipStep([&] { session = change->Session(); });
    // The call a transfer left on hold keeps quiet: the line shows the new call.
    if (session && session == heldByTransfer_ && session != g_objSession) {
        if (state == SessionState::Disconnected) heldByTransfer_.reset();
        return;
    }
    skipStep([&] { raise(&ClsRTCEvents::onSessionStateText, statusText); });

    // Our own calls are current before their first event, so a call placed
    // that is not current was placed by the stack itself: the far end
    // transferred the current call. It becomes the current call.
    if (state == SessionState::InProgress && session && session != g_objSession &&
        (!g_objSession || currentCallTransferred_))
        adoptPlacedByStack(session);
    // Other sessions (an incoming call turned away during a call) do not
    // change the line.
    if (session && g_objSession && session != g_objSession && state != SessionState::Incoming) return;

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
            heldCallComesBack_ = false;
            status(LineNumber + u" CONNECTED");
            signal(&ClsRTCEvents::onAnswered);
            signal(&ClsRTCEvents::onConnected);
            skipStep([&] { raise(&ClsRTCEvents::onSessionStateText, std::u16string()); });
            break;
        case SessionState::Disconnected:
            // A transfer's call that failed gives the line its held call back.
            if (giveBackHeldCall()) {
                status(LineNumber + u" ON HOLD");
                break;
            }
            endHeldCall();
            g_objSession.reset();
            g_objParticipant.reset();
            g_objSessionCallControl.reset();
            currentCallTransferred_ = false;
            status(LineNumber + u" DISCONNECTED");
            signal(&ClsRTCEvents::onCallDisconnect);
            hint(&ClsRTCEvents::onCallAnswer, false);
            hint(&ClsRTCEvents::onCallTerminate, true);
            hint(&ClsRTCEvents::onCallConnect, true);
            // A registration outcome that changed during the call is shown now.
            if (registrationReportDeferred_) skipStep([&] { OnRegistrationStateChange(); });
            break;
        case SessionState::Hold: status(LineNumber + u" ON HOLD"); break;
        case SessionState::Refer:
            currentCallTransferred_ = true;
            status(LineNumber + u" HAS BEEN TRANSFERED");
            break;
    }
}

void clsRTC::IncomingSession(IRTCSessionStateChangeEvent& change) {
    // Skip a failing step, go on. While a call is in progress (placed,
    // offered, connected or held) a new session is ignored: the line is busy,
    // so the caller is told so at once instead of hearing it ring unanswered.
    if (callInProgress()) {
        skipStep([&] { deref(change.Session()).Terminate(TerminateReason::Busy); });
        return;
    }
    currentCallTransferred_ = false;
    skipStep([&] { raise(&ClsRTCEvents::onCallTerminate, true); });
    skipStep([&] { raise(&ClsRTCEvents::onCallConnect, false); });
    skipStep([&] { raise(&ClsRTCEvents::onCallAnswer, true); });
    skipStep([&] { g_objSession = change.Session(); });
    skipStep([&] { g_objSessionCallControl = deref(g_objSession).CallControl(); });
    skipStep([&] { g_objParticipant = deref(deref(g_objSession).Participants()).Item(1); });
    skipStep([&] { userURI = userPart(deref(g_objParticipant).UserURI()); });
    skipStep([&] { raise(&ClsRTCEvents::onStatus, LineNumber + u" INCOMING " + userURI); });
    skipStep([&] { raise(&ClsRTCEvents::onIncomingCall, userURI); });
    skipStep([&] { raise(&ClsRTCEvents::onRinging); });
}

void clsRTC::adoptPlacedByStack(const std::shared_ptr<IRTCSession>& session) {
    currentCallTransferred_ = false;
    if (callInProgress()) {
        heldByTransfer_ = g_objSession;
        heldCallComesBack_ = true;
    }
    g_objSession = session;
    g_objSessionCallControl.reset();
    g_objParticipant.reset();
    skipStep([&] { g_objSessionCallControl = deref(g_objSession).CallControl(); });
    skipStep([&] { g_objParticipant = deref(deref(g_objSession).Participants()).Item(1); });
}

bool clsRTC::giveBackHeldCall() {
    if (!heldByTransfer_ || !heldCallComesBack_) return false;
    SessionState held = SessionState::Disconnected;
    skipStep([&] { held = heldByTransfer_->State(); });
    if (held == SessionState::Disconnected) return false;
    g_objSession = std::exchange(heldByTransfer_, nullptr);
    heldCallComesBack_ = false;
    g_objSessionCallControl.reset();
    g_objParticipant.reset();
    skipStep([&] { g_objSessionCallControl = deref(g_objSession).CallControl(); });
    skipStep([&] { g_objParticipant = deref(deref(g_objSession).Participants()).Item(1); });
    return true;
}

void clsRTC::endHeldCall() {
    heldCallComesBack_ = false;
    if (heldByTransfer_) skipStep([&] { heldByTransfer_->Terminate(TerminateReason::Normal); });
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
