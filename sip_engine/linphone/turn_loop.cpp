#include "sip_engine/linphone/turn_loop.h"

#include <algorithm>

namespace pelex::sip_engine::linphone_rtc {

TurnLoop::TurnLoop(std::shared_ptr<Context> context, int callMs, int idleMs, std::function<void()> wake)
    : context_(std::move(context)), callMs_(callMs), idleMs_(idleMs), wake_(std::move(wake)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { wake_(); });
}

TurnLoop::~TurnLoop() { stop(); }

void TurnLoop::start() {
    timer_.start(idleMs_);
    context_->onBusy = [this] { pace(); };
}

void TurnLoop::stop() {
    context_->onBusy = nullptr;
    timer_.stop();
    sipSocket_.follow(0);
}

bool TurnLoop::turn(const std::function<void(linphone::Core&)>& afterIterate) {
    if (turning_ || !context_->core || !timer_.isActive()) return false;
    turning_ = true;
    context_->core->iterate();
    afterIterate(*context_->core);
    turning_ = false;
    if (!context_->core) return false;
    if (auto transports = context_->core->getTransportsUsed()) sipSocket_.follow(transports->getUdpPort());
    pace();
    return true;
}

int turnInterval(std::chrono::steady_clock::duration sinceSignalling, int calmMs) {
    using namespace std::chrono_literals;
    const int fast = sinceSignalling < 100ms ? 2 : sinceSignalling < 500ms ? 10 : sinceSignalling < 2s ? 50 : calmMs;
    return std::min(fast, calmMs);
}

void TurnLoop::pace() {
    if (!timer_.isActive() || !context_->core) return;
    const int calm = context_->core->getCallsNb() > 0 ? callMs_ : idleMs_;
    const int interval = turnInterval(std::chrono::steady_clock::now() - context_->lastSignalling, calm);
    if (timer_.interval() != interval) timer_.setInterval(interval);
}

}  // namespace pelex::sip_engine::linphone_rtc
