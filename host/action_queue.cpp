#include "host/action_queue.h"

#include <QApplication>

#include <utility>

namespace pelex::host {

namespace {
// How often a waiting action looks again whether the box in its way is gone.
constexpr int kRetryMs = 50;
}  // namespace

ActionQueue::ActionQueue(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ActionQueue::runNext);
}

void ActionQueue::post(std::function<void()> action) {
    actions_.push_back(std::move(action));
    if (!timer_.isActive()) timer_.start(0);
}

void ActionQueue::runNext() {
    if (actions_.empty()) return;
    if (running_ || QApplication::activeModalWidget()) {
        timer_.start(kRetryMs);
        return;
    }
    auto action = std::move(actions_.front());
    actions_.pop_front();
    running_ = true;
    // A failure of one action does not keep the next ones from running.
    try {
        action();
    } catch (...) {
    }
    running_ = false;
    if (!actions_.empty() && !timer_.isActive()) timer_.start(0);
}

}  // namespace pelex::host
