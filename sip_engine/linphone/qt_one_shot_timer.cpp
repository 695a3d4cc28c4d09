#include "sip_engine/linphone/qt_one_shot_timer.h"

#include <QTimer>

#include <utility>

#include "sip_engine/linphone/linphone_client.h"

namespace pelex::sip_engine::linphone_rtc {
namespace {

class QtOneShotTimer final : public OneShotTimer {
public:
    QtOneShotTimer() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto callback = std::exchange(callback_, nullptr);
            if (callback) callback();
        });
    }
    void start(std::chrono::milliseconds delay, std::function<void()> onTimeout) override {
        callback_ = std::move(onTimeout);
        timer_.start(delay);
    }
    void stop() override {
        timer_.stop();
        callback_ = nullptr;
    }
    bool active() const override { return timer_.isActive(); }

private:
    QTimer timer_;
    std::function<void()> callback_;
};

}  // namespace

OneShotTimerFactory qtOneShotTimerFactory() {
    return [] { return std::make_unique<QtOneShotTimer>(); };
}

ClsRTCPlatform linphonePlatform() { return {linphoneClientFactory(), qtOneShotTimerFactory()}; }

}  // namespace pelex::sip_engine::linphone_rtc
