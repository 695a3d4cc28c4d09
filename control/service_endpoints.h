#pragma once
// Where the control finds the service: the account server (host and port)
// and the web site. Fixed settings of the control, which demos and tests
// override through the environment.

#include <string>

namespace pelex::control {

struct ServiceEndpoints {
    std::u16string accountHost;  ///< account server's host name or address
    std::u16string accountPort;  ///< its TCP port as text, "5061" by default
    std::u16string webSite;      ///< the web site's address with its scheme, no final "/"

    /// Returns the home page's address.
    std::u16string homePage() const { return webSite + u"/"; }
    /// Returns the sign-up page's address.
    std::u16string signUpPage() const { return webSite + u"/prepaid/signup.php?devicetype=KD300"; }
};

/// Returns the endpoints from the two override texts; a null or empty text
/// keeps the fixed setting. `accountServer` is "host" or "host:port"
/// ("[v6address]:port" for an IPv6 address); a malformed port keeps 5061.
/// `webSite` is a host name or an address with its scheme ("http://" is
/// added to a bare host name).
ServiceEndpoints serviceEndpoints(const char* accountServer, const char* webSite);

/// Returns the endpoints from PELEX_ACCOUNT_SERVER and PELEX_WEB_SITE.
ServiceEndpoints serviceEndpointsFromEnvironment();

}  // namespace pelex::control
