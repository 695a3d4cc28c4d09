#pragma once
// A provisioning profile: one SIP account and the server it registers with.

#include "sip_engine/rtc/rtc_codes.h"

namespace pelex::sip_engine::rtc {

class IRTCProfile {
public:
    virtual ~IRTCProfile() = default;
    /// The profile's registration state, read live.
    virtual RegistrationState State() const = 0;
};

}  // namespace pelex::sip_engine::rtc
