#pragma once
// Touch tones, one at a time.
//
// The stack sends a touch tone as a telephone event lasting 100 ms, and it
// drops, without saying so, a tone asked for while another is still going
// out (or replaces one not yet begun). The phone sends a flash every second
// during a call and users type fast, so tones are queued here and handed to
// the stack one by one, each a fixed spacing after the one before. A flash
// already waiting is not queued again: it repeats by itself.

#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>

namespace pelex::sip_engine::linphone_rtc {

class TonePacer {
public:
    using Clock = std::chrono::steady_clock;
    /// Tone duration plus a pause, as the stack spaces a sequence of tones.
    static constexpr std::chrono::milliseconds kSpacing{200};
    /// More waiting tones than a user can mean are dropped.
    static constexpr std::size_t kMostWaiting = 64;
    static constexpr char kFlash = '!';

    /// `send` hands one tone to the stack; false when there is no call to
    /// send it on, which drops whatever is still waiting.
    explicit TonePacer(std::function<bool(char)> send, std::function<Clock::time_point()> now = Clock::now);

    /// Sends `tone` now, or after those already waiting.
    void add(char tone);
    /// Drops the waiting tones (the call ended).
    void clear();
    std::size_t waiting() const { return queue_.size(); }

private:
    void sendDue();

    std::function<bool(char)> send_;
    std::function<Clock::time_point()> now_;
    std::deque<char> queue_;
    Clock::time_point lastSent_{};
    bool sentAny_ = false;
    QTimer timer_;
};

}  // namespace pelex::sip_engine::linphone_rtc
