#pragma once
// The RTC client: the SIP stack with its media, one per engine.
//
// Every member throws RTCError when it fails. Events reach the sink given to
// Advise, on the thread that owns the client, until Unadvise.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sip_engine/rtc/rtc_client_provisioning.h"
#include "sip_engine/rtc/rtc_codes.h"
#include "sip_engine/rtc/rtc_events.h"
#include "sip_engine/rtc/rtc_profile.h"
#include "sip_engine/rtc/rtc_session.h"

namespace pelex::sip_engine::rtc {

class IRTCClient {
public:
    virtual ~IRTCClient() = default;

    /// Starts the stack. Must come before every other member.
    virtual void Initialize() = 0;
    /// The provisioning view of this client.
    virtual std::shared_ptr<IRTCClientProvisioning> Provisioning() = 0;
    /// Selects the event kinds delivered (event_filter:: bits).
    virtual void put_EventFilter(std::int32_t filter) = 0;
    /// Starts (or stops) accepting incoming sessions.
    virtual void put_ListenForIncomingSessions(ListenMode mode) = 0;
    /// Media offered in new sessions (media:: bits); `persistent` keeps the choice across runs.
    virtual void SetPreferredMediaTypes(std::int32_t mediaTypes, bool persistent) = 0;
    /// Creates an outgoing session; `profile` null lets the client choose. Returns the session.
    virtual std::shared_ptr<IRTCSession> CreateSession(SessionType type, const std::u16string& localPhoneURI,
                                                       const std::shared_ptr<IRTCProfile>& profile,
                                                       std::int32_t flags) = 0;
    /// Starts or stops a ring sound.
    virtual void PlayRing(RingType type, bool play) = 0;
    /// Sends a touch tone on the current call: 0-9 digits, 10 star, 11 pound,
    /// 12-15 the letters A-D, 16 flash. Throws RTCError for other codes or
    /// when no call can carry tones.
    virtual void SendDTMF(std::int32_t toneCode) = 0;
    /// Opens the audio tuning dialog over `parent` and returns when it is closed.
    virtual void InvokeTuningWizard(WindowHandle parent) = 0;
    /// Ends calls and registrations; a Client event AsyncCleanupDone follows.
    virtual void PrepareForShutdown() = 0;
    /// Releases the stack. Nothing works afterwards.
    virtual void Shutdown() = 0;

    /// Connects the event sink (replacing any earlier one). The sink must outlive the connection.
    virtual void Advise(IRTCEventSink& sink) = 0;
    /// Disconnects the event sink; no event is delivered after it returns.
    virtual void Unadvise() = 0;
};

/// Creates a new client object (the engine's step "create an RTC client").
using RTCClientFactory = std::function<std::shared_ptr<IRTCClient>()>;

}  // namespace pelex::sip_engine::rtc
