#include "network/network_watch.h"

namespace pelex::network {

NetworkWatch::NetworkWatch(Handler handler, std::string destination)
    : handler_(std::move(handler)),
      destination_(std::move(destination)),
      state_(probeNetwork(destination_)),
      events_([this] { onEvent(); }) {
    settle_.setSingleShot(true);
    QObject::connect(&settle_, &QTimer::timeout, [this] { look(); });
}

void NetworkWatch::setDestination(std::string destination) {
    destination_ = std::move(destination);
    state_ = probeNetwork(destination_);
}

// Each event restarts the quiet time, but a burst that goes on and on is
// looked at no later than kLongestWait after it began.
void NetworkWatch::onEvent() {
    const auto now = std::chrono::steady_clock::now();
    if (!settle_.isActive()) burstStarted_ = now;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(burstStarted_ + kLongestWait - now);
    settle_.start(std::max(std::chrono::milliseconds(0), std::min(kSettle, left)));
}

void NetworkWatch::look() {
    const NetworkState before = state_;
    state_ = probeNetwork(destination_);
    if (state_ == before) return;
    if (!before.online && !state_.online) return;
    const NetworkChange change = !before.online  ? NetworkChange::CameBack
                                 : !state_.online ? NetworkChange::WentAway
                                                  : NetworkChange::Changed;
    if (handler_) handler_(change, state_);
}

}  // namespace pelex::network
