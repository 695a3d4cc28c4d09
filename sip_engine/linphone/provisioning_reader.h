#pragma once
// Reads a provisioning document (see rtc_client_provisioning.h) with a real
// XML parser, so escaped values come back exactly as they were written.

#include <string>
#include <vector>

namespace pelex::sip_engine::linphone_rtc {

struct ProvisionedServer {
    std::u16string addr;      ///< host or host:port, surrounding spaces removed
    std::u16string protocol;  ///< "UDP", "TCP" or "TLS" (upper case)
    std::u16string auth;      ///< "digest", ...
    std::u16string role;      ///< "proxy" or "registrar"
};

struct ProvisionedProfile {
    std::u16string account;   ///< digest user name
    std::u16string password;  ///< digest password, exactly as given
    std::u16string uri;       ///< the user's address, without a scheme (user@host)
    std::vector<ProvisionedServer> servers;
    /// The server with `role`, or null.
    const ProvisionedServer* server(const std::u16string& role) const;
};

/// Parses `document`. Throws rtc::RTCError when it is not well formed, is not
/// a <provision> element, or names no user account, no uri or no server.
ProvisionedProfile readProvisioning(const std::u16string& document);

}  // namespace pelex::sip_engine::linphone_rtc
