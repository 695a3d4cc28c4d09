#pragma once
// Actions asked for from outside (D-Bus calls, call links) run later, from
// the event loop, one at a time and in the order asked: so the caller gets
// its answer at once even when an action opens a modal box, and no action
// starts while a modal box is open or another action has not ended yet
// (the phone takes them as a user would, one after the other).

#include <QObject>
#include <QTimer>

#include <cstddef>
#include <deque>
#include <functional>

namespace pelex::host {

class ActionQueue : public QObject {
    Q_OBJECT
public:
    explicit ActionQueue(QObject* parent = nullptr);

    /// Queues `action` and returns at once.
    void post(std::function<void()> action);
    /// Actions not started yet.
    std::size_t pending() const { return actions_.size(); }

private:
    void runNext();

    std::deque<std::function<void()>> actions_;
    QTimer timer_;
    bool running_ = false;
};

}  // namespace pelex::host
