#pragma once
// The events of the SIP call engine clsRTC, in their declared order. The
// engine raises them synchronously: the handler runs to its end before the
// engine goes on, and a failure thrown by a handler travels back into the
// engine, which treats it like a failure of the step that raised the event.
// Every handler does nothing unless the owner overrides it.

#include <cstdint>
#include <string>

namespace pelex::sip_engine {

class ClsRTCEvents {
public:
    virtual ~ClsRTCEvents() = default;
    /// 1. Progress text for the display (registration, call state, sign-out).
    virtual void onStatus(const std::u16string& strStatus) { (void)strStatus; }
    /// 2. A registration change ended; `state` is the profile's registration state.
    virtual void onRegOK(std::int16_t state) { (void)state; }
    /// 3. The platform's status text of a session change; empty when a call is
    /// placed, terminated or connected.
    virtual void onSessionStateText(const std::u16string& StateText) { (void)StateText; }
    /// 4. An incoming call became the current call; `userURI` is the caller's user part.
    virtual void onIncomingCall(const std::u16string& userURI) { (void)userURI; }
    /// 5-7. Call-state hints.
    virtual void onCallTerminate(bool bTerminate) { (void)bTerminate; }
    virtual void onCallAnswer(bool bAnswer) { (void)bAnswer; }
    virtual void onCallConnect(bool bConnect) { (void)bConnect; }
    /// 8. The call was disconnected.
    virtual void onCallDisconnect() {}
    /// 9. Sign-out finished; the client is released.
    virtual void onSignOut() {}
    /// 10. An incoming call is offered and rings (raised after onIncomingCall).
    virtual void onRinging() {}
    /// 11. An outgoing call is in progress.
    virtual void onProcessing() {}
    /// 12. The call is connected.
    virtual void onConnected() {}
    /// 13. The call is connected (raised just before onConnected).
    virtual void onAnswered() {}
    /// 14. Registration failed, with the failure text.
    virtual void onRegFail(const std::u16string& Status) { (void)Status; }
    /// 15. Received audio started.
    virtual void onAudioReceived() {}
};

}  // namespace pelex::sip_engine
