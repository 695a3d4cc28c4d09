#pragma once
// Mid-call control of a session: hold, unhold and transfer.

#include <cstdint>
#include <string>

namespace pelex::sip_engine::rtc {

class IRTCSessionCallControl {
public:
    virtual ~IRTCSessionCallControl() = default;
    /// Puts the remote party on hold. Throws RTCError when the call cannot be held.
    virtual void Hold(std::int32_t cookie) = 0;
    /// Takes the remote party off hold. Throws RTCError when the call is not held.
    virtual void UnHold(std::int32_t cookie) = 0;
    /// Asks the remote party to call `address` instead (a transfer).
    /// Throws RTCError when the address is invalid or the call cannot transfer.
    virtual void Refer(const std::u16string& address, const std::u16string& cookie) = 0;
};

}  // namespace pelex::sip_engine::rtc
