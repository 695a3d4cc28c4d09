// clsRTC: start-up, call control and destruction.
#include "sip_engine/cls_rtc.h"

#include <limits>
#include <utility>

#include "platform/failure_policy.h"
#include "sip_engine/object_ref.h"
#include "sip_engine/text.h"

namespace pelex::sip_engine {
using platform::endQuietly;
using platform::skipStep;
using platform::trapNothing;

using namespace rtc;

clsRTC::clsRTC(ClsRTCPlatform platform, ClsRTCEvents* events)
    : platform_(std::move(platform)), events_(events) {
    if (platform_.createTimer) registrationWait_ = platform_.createTimer();
}

clsRTC::~clsRTC() {
    // Skip a failing step, go on.
    if (registrationWait_) registrationWait_->stop();
    if (g_objSession) skipStep([&] { g_objSession->Terminate(TerminateReason::Shutdown); });
    if (g_objRTCClient) {
        skipStep([&] { g_objRTCClient->PrepareForShutdown(); });
        skipStep([&] { g_objRTCClient->Shutdown(); });
    }
    g_objSession.reset();
    g_objVideoSend.reset();
    g_objVideoReceive.reset();
    g_objParticipant.reset();
    skipStep([&] { setClientWithEvents(nullptr); });
    g_objRTCClient.reset();
}

std::u16string clsRTC::ProvisioningDocument(const std::u16string& userName, const std::u16string& password,
                                            const std::u16string& serverIP) {
    const std::u16string U = escapeXmlAttribute(trimSpaces(userName));
    const std::u16string P = escapeXmlAttribute(password);
    const std::u16string S = escapeXmlAttribute(serverIP);
    const std::u16string T = escapeXmlAttribute(trimSpaces(serverIP));
    return u"<provision key=\"Corvo\" name=\"corvo\">"
           u"<user account=\"" + U + u"\" password=\"" + P + u"\" uri=\"" + U + u"@" + T + u"\"/>"
           u"<sipsrv addr=\"" + S + u"\" protocol=\"UDP\" auth=\"digest\" role=\"proxy\">"
           u"<session party=\"first\" type=\"pc2pc\"/>"
           u"<session party=\"first\" type=\"pc2ph\"/>"
           u"<session party=\"first\" type=\"im\"/>"
           u"</sipsrv>"
           u"<sipsrv addr=\"" + S + u"\" protocol=\"UDP\" auth=\"digest\" role=\"registrar\"/>"
           u"</provision>";
}

void clsRTC::Init(bool bVideo) {
    // Skip a failing step, go on.
    skipStep([&] {
        auto client = platform_.createClient();
        if (!client) throw RTCError("no RTC client");
        g_objRTCClient = std::move(client);
    });
    skipStep([&] { deref(g_objRTCClient).Initialize(); });
    skipStep([&] { g_objProvisioning = deref(g_objRTCClient).Provisioning(); });
    const std::u16string document = ProvisioningDocument(RegUserName, RegPassword, RegServerIP);
    skipStep([&] { g_objProfile = deref(g_objProvisioning).CreateProfile(document); });
    registrationShown_ = Shown::Nothing;
    skipStep([&] { deref(g_objProvisioning).EnableProfile(g_objProfile, kRegisterAllSessionKinds); });
    skipStep([&] {
        deref(g_objRTCClient)
            .put_EventFilter(event_filter::Client | event_filter::RegistrationStateChange |
                             event_filter::SessionStateChange | event_filter::Media);
    });
    skipStep([&] { setClientWithEvents(g_objRTCClient); });
    skipStep([&] { deref(g_objRTCClient).put_ListenForIncomingSessions(ListenMode::Both); });
    skipStep([&] {
        if (bVideo)
            deref(g_objRTCClient).SetPreferredMediaTypes(media::AudioSend | media::AudioReceive | media::VideoSend |
                                                           media::VideoReceive,
                                                       false);
        else
            deref(g_objRTCClient).SetPreferredMediaTypes(media::AudioSend | media::AudioReceive, true);
    });
}

void clsRTC::Connect() {
    // Skip a failing step, go on.
    skipStep([&] { raise(&ClsRTCEvents::onSessionStateText, std::u16string()); });
    currentCallTransferred_ = false;
    const std::u16string destination = trimSpaces(URIher);
    skipStep([&] { g_objSession = deref(g_objRTCClient).CreateSession(SessionType::PcToPc, u"", nullptr, 0); });
    skipStep([&] { g_objSessionCallControl = deref(g_objSession).CallControl(); });
    g_objParticipant.reset();  // set again only when the call is placed
    skipStep([&] { g_objParticipant = deref(g_objSession).AddParticipant(destination, u"Any Name"); });
}

void clsRTC::Answer() {
    // Skip a failing step, go on.
    skipStep([&] { deref(g_objSession).Answer(); });
    skipStep([&] { g_objSessionCallControl = deref(g_objSession).CallControl(); });
}

void clsRTC::Terminate() {
    // Skip a failing step, go on.
    skipStep([&] { raise(&ClsRTCEvents::onSessionStateText, std::u16string()); });
    SessionState state = SessionState::Idle;
    skipStep([&] { state = deref(g_objSession).State(); });
    if (state == SessionState::Incoming) {
        skipStep([&] { deref(g_objSession).Terminate(TerminateReason::Reject); });
        skipStep([&] { deref(g_objRTCClient).PlayRing(RingType::Phone, false); });
    } else {
        skipStep([&] { deref(g_objSession).Terminate(TerminateReason::Normal); });
    }
    endHeldCall();  // a call a transfer left on hold goes with the line's call
}

void clsRTC::ShutDown() {
    // Whatever the registration is doing, the user is signing out: its
    // outcome is of no interest any more.
    if (registrationWait_) registrationWait_->stop();
    signingOut_ = true;
    trapNothing([&] {
        deref(g_objRTCClient).PrepareForShutdown();
        raise(&ClsRTCEvents::onStatus, std::u16string(u"Signing Out..."));
    });
}

void clsRTC::ReregisterProfile() {
    // Skip a failing step, go on. The new registration is shown as it goes.
    registrationShown_ = Shown::Nothing;
    registrationReportDeferred_ = false;
    skipStep([&] { deref(g_objProvisioning).DisableProfile(g_objProfile); });
    skipStep([&] { deref(g_objProvisioning).EnableProfile(g_objProfile, kRegisterAllSessionKinds); });
}

void clsRTC::Key(const std::int16_t& Index) {
    // Skip a failing step, go on. Keys 0-11 send their own code; key 12 is flash.
    constexpr std::int32_t kFlashTone = 16;
    std::int32_t tone = -1;
    if (Index >= 0 && Index <= 11) tone = Index;
    else if (Index == 12) tone = kFlashTone;
    if (tone >= 0) skipStep([&] { deref(g_objRTCClient).SendDTMF(tone); });
}

void clsRTC::Wizard(std::int64_t hwndParent) {
    // Skip a failing step, go on.
    skipStep([&] {
        if (hwndParent < std::numeric_limits<std::int32_t>::min() ||
            hwndParent > std::numeric_limits<std::int32_t>::max())
            throw RTCError("window handle does not fit 32 bits");
        // The dialog runs the event loop, in which the client may be released
        // (sign-out): it is held here until the dialog is closed.
        const auto client = g_objRTCClient;
        deref(client).InvokeTuningWizard(static_cast<WindowHandle>(static_cast<std::int32_t>(hwndParent)));
    });
}

void clsRTC::CallTransfer(const std::u16string& strURI, const std::u16string& strCookie) {
    trapNothing([&] { deref(g_objSessionCallControl).Refer(strURI + u"@" + RegServerIP, strCookie); });
}

void clsRTC::CallHold() {
    skipStep([&] { deref(g_objSessionCallControl).Hold(lHoldCookie); });
}

void clsRTC::CallunHold() {
    skipStep([&] { deref(g_objSessionCallControl).UnHold(lHoldCookie); });
}

void clsRTC::setClientWithEvents(std::shared_ptr<IRTCClient> client) {
    if (g_objRTCClientWithEvents) {
        auto old = std::exchange(g_objRTCClientWithEvents, nullptr);
        old->Unadvise();
    }
    if (client) {
        client->Advise(*this);
        g_objRTCClientWithEvents = std::move(client);
    }
}

}  // namespace pelex::sip_engine
