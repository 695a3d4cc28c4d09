#pragma once
// The provisioning view of a client: profiles from a provisioning document.
//
// The document is one XML element <provision> holding one <user account=""
// password="" uri=""/> and <sipsrv addr="" protocol="" auth="" role=""/>
// elements for the proxy and the registrar (a proxy may list <session>
// elements). Attribute values are XML-escaped like any XML text.

#include <cstdint>
#include <memory>
#include <string>

#include "sip_engine/rtc/rtc_profile.h"

namespace pelex::sip_engine::rtc {

class IRTCClientProvisioning {
public:
    virtual ~IRTCClientProvisioning() = default;
    /// Reads `document` and returns a new profile (not yet registering).
    /// Throws RTCError for a document that is not well formed or names no
    /// user or server.
    virtual std::shared_ptr<IRTCProfile> CreateProfile(const std::u16string& document) = 0;
    /// Starts registering `profile` for the session kinds in `registerFlags`.
    virtual void EnableProfile(const std::shared_ptr<IRTCProfile>& profile, std::int32_t registerFlags) = 0;
    /// Stops using `profile` and unregisters it.
    virtual void DisableProfile(const std::shared_ptr<IRTCProfile>& profile) = 0;
};

}  // namespace pelex::sip_engine::rtc
