#pragma once
// A clock for tests: always answers the moment it was set to, and moves on
// only when a test moves it.

#include "platform/clock.h"

namespace pelex::platform::testing {

class FixedClock : public Clock {
public:
    explicit FixedClock(LocalDateTime moment = {}) : moment(moment) {}
    LocalDateTime now() const override { return moment; }
    std::chrono::steady_clock::time_point steadyNow() const override { return steady; }

    LocalDateTime moment;
    std::chrono::steady_clock::time_point steady{};
};

}  // namespace pelex::platform::testing
