#pragma once
// A URL opener for tests: records the addresses instead of opening a browser.

#include <string>
#include <vector>

#include "platform/url_opener.h"

namespace pelex::platform::testing {

class RecordingUrlOpener : public UrlOpener {
public:
    void open(const std::u16string& url) override { opened.push_back(url); }

    std::vector<std::u16string> opened;
};

}  // namespace pelex::platform::testing
