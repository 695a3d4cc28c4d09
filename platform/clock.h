#pragma once
// The clocks, as a seam: tests give a fixed moment.

#include <chrono>

namespace pelex::platform {

/// A local calendar date and time of day, to the second.
struct LocalDateTime {
    int year = 1970;
    int month = 1;   ///< 1 to 12
    int day = 1;     ///< 1 to 31
    int hour = 0;    ///< 0 to 23
    int minute = 0;  ///< 0 to 59
    int second = 0;  ///< 0 to 59
};

class Clock {
public:
    virtual ~Clock() = default;
    /// Returns the current local date and time.
    virtual LocalDateTime now() const = 0;
    /// Returns the time that only goes forward, for how long something took.
    virtual std::chrono::steady_clock::time_point steadyNow() const { return std::chrono::steady_clock::now(); }
};

}  // namespace pelex::platform
