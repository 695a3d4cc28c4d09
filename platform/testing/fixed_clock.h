#pragma once
// A clock for tests: always answers the moment it was set to.

#include "platform/clock.h"

namespace pelex::platform::testing {

class FixedClock : public Clock {
public:
    explicit FixedClock(LocalDateTime moment = {}) : moment(moment) {}
    LocalDateTime now() const override { return moment; }

    LocalDateTime moment;
};

}  // namespace pelex::platform::testing
