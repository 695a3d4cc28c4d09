#include "sip_engine/linphone/core_stopper.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <chrono>

namespace pelex::sip_engine::linphone_rtc {
namespace {

bool isOff(linphone::Core& core) { return core.getGlobalState() == linphone::GlobalState::Off; }

/// Owned by the application object (Qt parent); deletes itself once the
/// core is off.
class CoreStopper final : public QObject {
public:
    CoreStopper(std::shared_ptr<linphone::Core> core, QObject* application)
        : QObject(application), core_(std::move(core)) {
        // A stop that does not finish in time is completed the blocking way.
        deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        core_->stopAsync();
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, &CoreStopper::turn);
        timer_.start();
    }
    ~CoreStopper() override {
        if (core_ && !isOff(*core_)) core_->stop();
    }

private:
    void turn() {
        core_->iterate();
        if (isOff(*core_) || std::chrono::steady_clock::now() > deadline_) {
            timer_.stop();
            if (!isOff(*core_)) core_->stop();
            core_.reset();
            deleteLater();
        }
    }

    std::shared_ptr<linphone::Core> core_;
    QTimer timer_;
    std::chrono::steady_clock::time_point deadline_;
};

}  // namespace

void stopInBackground(std::shared_ptr<linphone::Core> core) {
    if (!core || isOff(*core)) return;
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || QCoreApplication::closingDown()) {
        core->stop();
        return;
    }
    new CoreStopper(std::move(core), application);  // owned by the application object
}

}  // namespace pelex::sip_engine::linphone_rtc
