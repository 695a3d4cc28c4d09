#pragma once
// A process starter for tests: records every start instead of starting.

#include <string>
#include <vector>

#include "platform/process_starter.h"

namespace pelex::platform::testing {

class RecordingProcessStarter : public ProcessStarter {
public:
    struct Started {
        std::u16string program;
        WindowStyle style;
    };

    bool startDetached(const std::u16string& program, WindowStyle style) override {
        started.push_back({program, style});
        return result;
    }

    std::vector<Started> started;
    bool result = true;  ///< what startDetached() answers
};

}  // namespace pelex::platform::testing
