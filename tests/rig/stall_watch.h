#pragma once
// How long the window would have stood still: the longest gap between two
// turns of a 5 ms timer on the event loop of the thread that made it.
//
//   StallWatch watch;
//   ... run the event loop through the work ...
//   watch.longestMs()

#include <QTimer>

#include <algorithm>
#include <chrono>

namespace pelex::testing {

class StallWatch {
public:
    using Clock = std::chrono::steady_clock;
    StallWatch() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
        timer_.start(5);
    }
    /// The longest gap so far, in milliseconds.
    double longestMs() const { return std::chrono::duration<double, std::milli>(longest_).count(); }

private:
    QTimer timer_;
    Clock::time_point last_ = Clock::now();
    Clock::duration longest_{};
};

}  // namespace pelex::testing
