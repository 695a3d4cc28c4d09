#pragma once
// Events of an RTC client. The client delivers each one as a single call
// IRTCEventSink::Event(type, event) on the owner's thread; the event object
// is one of the four interfaces below, chosen by `type`, and lives only for
// the duration of the call.

#include <cstdint>
#include <memory>
#include <string>

#include "sip_engine/rtc/rtc_codes.h"
#include "sip_engine/rtc/rtc_profile.h"
#include "sip_engine/rtc/rtc_session.h"

namespace pelex::sip_engine::rtc {

class IRTCEvent {
public:
    virtual ~IRTCEvent() = default;
};

/// EventType::Client.
class IRTCClientEvent : public IRTCEvent {
public:
    /// What happened to the client (AsyncCleanupDone answers PrepareForShutdown).
    virtual ClientEventType EventType() const = 0;
};

/// EventType::RegistrationStateChange.
class IRTCRegistrationStateChangeEvent : public IRTCEvent {
public:
    /// The profile whose registration changed.
    virtual std::shared_ptr<IRTCProfile> Profile() const = 0;
    /// Its state when the change happened.
    virtual RegistrationState State() const = 0;
    /// The SIP status code behind the change (0 when none).
    virtual std::int32_t StatusCode() const = 0;
    /// The reason phrase behind the change (may be empty).
    virtual std::u16string StatusText() const = 0;
};

/// EventType::SessionStateChange.
class IRTCSessionStateChangeEvent : public IRTCEvent {
public:
    /// The session whose state changed.
    virtual std::shared_ptr<IRTCSession> Session() const = 0;
    /// Its new state.
    virtual SessionState State() const = 0;
    /// The SIP status code that moved it (0 when none).
    virtual std::int32_t StatusCode() const = 0;
    /// The reason phrase that moved it, e.g. "Ringing" for a 180 (may be empty).
    virtual std::u16string StatusText() const = 0;
};

/// EventType::Media.
class IRTCMediaEvent : public IRTCEvent {
public:
    /// One of the media:: kinds.
    virtual std::int32_t MediaType() const = 0;
    virtual MediaEventType EventType() const = 0;
};

/// Receives the client's events. A failure thrown by Event goes back to the
/// client, which drops it and goes on delivering.
class IRTCEventSink {
public:
    virtual ~IRTCEventSink() = default;
    virtual void Event(EventType type, IRTCEvent& event) = 0;
};

}  // namespace pelex::sip_engine::rtc
