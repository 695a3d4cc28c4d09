#pragma once
// One call.

#include <memory>
#include <string>

#include "sip_engine/rtc/rtc_codes.h"
#include "sip_engine/rtc/rtc_collection.h"
#include "sip_engine/rtc/rtc_participant.h"
#include "sip_engine/rtc/rtc_session_call_control.h"

namespace pelex::sip_engine::rtc {

class IRTCSession {
public:
    virtual ~IRTCSession() = default;
    /// The session's current state.
    virtual SessionState State() const = 0;
    /// Accepts an incoming session. Throws RTCError when it is not incoming.
    virtual void Answer() = 0;
    /// Ends the session: rejects an incoming one with Reject, hangs up otherwise.
    /// Throws RTCError when the session has already ended.
    virtual void Terminate(TerminateReason reason) = 0;
    /// Calls `address` (number@server) and returns the new participant.
    /// Throws RTCError for an address that cannot be called.
    virtual std::shared_ptr<IRTCParticipant> AddParticipant(const std::u16string& address,
                                                            const std::u16string& displayName) = 0;
    /// The session's participants (the remote party first).
    virtual std::shared_ptr<IRTCCollection> Participants() const = 0;
    /// The call-control view of this session (hold, unhold, transfer).
    virtual std::shared_ptr<IRTCSessionCallControl> CallControl() = 0;
};

}  // namespace pelex::sip_engine::rtc
