#include "sip_engine/linphone/core_stopper.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <utility>
#include <vector>

#include "sip_engine/linphone/stack_account.h"

namespace pelex::sip_engine::linphone_rtc {
namespace {

using Clock = std::chrono::steady_clock;

// The name of a stopper while its core is not off yet.
constexpr char kStopping[] = "pelex-core-stopping";

bool isOff(linphone::Core& core) { return core.getGlobalState() == linphone::GlobalState::Off; }

/// Starts unregistering every account that is (or is getting) registered.
void unregisterAll(linphone::Core& core) {
    for (const auto& account : core.getAccountList()) switchRegistration(*account, false);
}

/// Owned by the application object (Qt parent); deletes itself once the
/// core is off.
class CoreStopper final : public QObject {
public:
    CoreStopper(std::shared_ptr<linphone::Core> core, QObject* application)
        : QObject(application), core_(std::move(core)) {
        setObjectName(QString::fromLatin1(kStopping));
        if (auto transports = core_->getTransportsUsed()) sipPort_ = transports->getUdpPort();
        unregisterAll(*core_);
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, &CoreStopper::turn);
        timer_.start();
    }
    ~CoreStopper() override {
        if (core_ && !isOff(*core_)) core_->stop();
    }

    /// The local UDP port the core holds until it is released.
    int sipPort() const { return sipPort_; }
    /// Runs `released` once the core has let go of its port.
    void whenReleased(std::function<void()> released) { released_.push_back(std::move(released)); }

private:
    void turn() {
        core_->iterate();
        const auto now = Clock::now();
        if (!stopping_) {
            // Accounts left on the core would make the stop sleep.
            if (anyAccountRegistered(*core_) && now < unregisterDeadline_) return;
            core_->clearAccounts();
            core_->stopAsync();
            stopping_ = true;
            return;
        }
        if (isOff(*core_) || now > stopDeadline_) {
            timer_.stop();
            if (!isOff(*core_)) core_->stop();  // did not finish in time: the blocking way
            core_.reset();
            sipPort_ = 0;
            setObjectName({});
            deleteLater();
            for (auto& released : std::exchange(released_, {})) released();
        }
    }

    std::shared_ptr<linphone::Core> core_;
    int sipPort_ = 0;
    std::vector<std::function<void()>> released_;
    QTimer timer_;
    bool stopping_ = false;
    Clock::time_point unregisterDeadline_ = Clock::now() + std::chrono::seconds(2);
    Clock::time_point stopDeadline_ = Clock::now() + std::chrono::seconds(5);
};

}  // namespace

bool anyAccountRegistered(linphone::Core& core) {
    for (const auto& account : core.getAccountList()) {
        const auto state = account->getState();
        if (state == linphone::RegistrationState::Ok || state == linphone::RegistrationState::Progress) return true;
    }
    return false;
}

namespace {

/// The core stopping in the background that holds local UDP port `port`, or null.
CoreStopper* stopperOnPort(int port) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || port <= 0) return nullptr;
    for (QObject* child : application->children())
        if (auto* stopper = dynamic_cast<CoreStopper*>(child); stopper && stopper->sipPort() == port) return stopper;
    return nullptr;
}

}  // namespace

bool portHeldByStoppingCore(int port) { return stopperOnPort(port) != nullptr; }

void whenPortReleased(int port, std::function<void()> released) {
    if (CoreStopper* stopper = stopperOnPort(port)) stopper->whenReleased(std::move(released));
    else released();
}

int coresStopping() {
    const QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) return 0;
    return int(application->findChildren<QObject*>(QString::fromLatin1(kStopping), Qt::FindDirectChildrenOnly).size());
}

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
