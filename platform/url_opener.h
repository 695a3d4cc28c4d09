#pragma once
// Opening a web address in the user's browser, as a seam: the control opens
// the service's pages through it; tests record the addresses.

#include <string>

namespace pelex::platform {

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    /// Asks the desktop to show `url` in the default browser; returns at once.
    virtual void open(const std::u16string& url) = 0;
};

}  // namespace pelex::platform
