#include "sip_engine/linphone/tone_pacer.h"

#include <algorithm>

namespace pelex::sip_engine::linphone_rtc {

TonePacer::TonePacer(std::function<bool(char)> send, std::function<Clock::time_point()> now)
    : send_(std::move(send)), now_(std::move(now)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { sendDue(); });
}

void TonePacer::add(char tone) {
    if (tone == kFlash && std::find(queue_.begin(), queue_.end(), kFlash) != queue_.end()) return;
    if (queue_.size() >= kMostWaiting) return;
    queue_.push_back(tone);
    sendDue();
}

void TonePacer::clear() {
    queue_.clear();
    timer_.stop();
}

void TonePacer::sendDue() {
    if (queue_.empty()) return;
    const auto now = now_();
    if (sentAny_ && now - lastSent_ < kSpacing) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(kSpacing - (now - lastSent_));
        if (!timer_.isActive()) timer_.start(wait);
        return;
    }
    const char tone = queue_.front();
    queue_.pop_front();
    if (!send_(tone)) {
        clear();
        return;
    }
    lastSent_ = now;
    sentAny_ = true;
    if (!queue_.empty()) timer_.start(kSpacing);
}

}  // namespace pelex::sip_engine::linphone_rtc
