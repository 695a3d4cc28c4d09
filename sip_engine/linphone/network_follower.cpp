#include "sip_engine/linphone/network_follower.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <utility>

#include "sip_engine/rtc/event_values.h"

namespace pelex::sip_engine::linphone_rtc {

using network::NetworkChange;
using network::SleepEvent;

NetworkFollower::NetworkFollower(std::shared_ptr<Context> context, std::function<void()> registerNow)
    : context_(std::move(context)),
      registerNow_(std::move(registerNow)),
      network_([this](NetworkChange change, const network::NetworkState&) { onNetwork(change); }) {
    sleep_.emplace([this](SleepEvent event) { onSleep(event); });
}

void NetworkFollower::start() { started_ = true; }

// The stack starts out taking the network for unreachable (its own watch is
// off): it learns how things stand once it knows where its server is.
void NetworkFollower::setServer(const std::string& host) {
    in6_addr parsed{};
    if (::inet_pton(AF_INET, host.c_str(), &parsed) == 1 || ::inet_pton(AF_INET6, host.c_str(), &parsed) == 1)
        network_.setDestination(host);
    if (!started_ || !watching() || !context_->core) return;
    const bool online = network_.state().online;
    if (!told_) {
        told_ = true;
        if (online) reach();
        else tellUnreachable();
    } else if (online && context_->networkDown) {
        tellReachable();
    } else if (!online && !context_->networkDown) {
        tellUnreachable();
    }
}

void NetworkFollower::releaseHold() {
    held_ = false;
    if (!context_->core) return;
    // Without the kernel's events the stack's own watch decides; with them,
    // only once the stack was told the network is there.
    if (!watching() || (told_ && !context_->networkDown)) reach();
}

void NetworkFollower::reach() {
    if (!held_ && context_->core) context_->core->setNetworkReachable(true);
}

void NetworkFollower::onNetwork(NetworkChange change) {
    if (!told_ || !context_->core) return;
    switch (change) {
        case NetworkChange::WentAway: tellUnreachable(); break;
        case NetworkChange::CameBack: tellReachable(); break;
        case NetworkChange::Changed: tellReachable(); break;
    }
}

void NetworkFollower::onSleep(SleepEvent event) {
    if (!told_ || !context_->core || event != SleepEvent::Resumed || context_->networkDown) return;
    auto& core = context_->signallingCore();
    registerNow_();
    for (const auto& account : core.getAccountList())
        if (account->getState() == linphone::RegistrationState::Ok) account->refreshRegister();
}

void NetworkFollower::tellUnreachable() {
    if (context_->networkDown || !context_->core) return;
    context_->networkDown = true;
    // The line learns first; the registration the stack drops next is no news.
    context_->post(rtc::EventType::Client, [](rtc::IRTCEventSink& sink, rtc::EventType type) {
        rtc::ClientEvent event(rtc::ClientEventType::NetworkUnavailable);
        sink.Event(type, event);
    });
    context_->core->setNetworkReachable(false);
}

// Unreachable and reachable again makes the stack drop its connections, mark
// a call in progress broken (its repairing re-INVITE carries the new address)
// and register anew, at once.
void NetworkFollower::tellReachable() {
    if (!context_->core) return;
    auto& core = context_->signallingCore();
    const bool wasDown = std::exchange(context_->networkDown, false);
    if (!wasDown) {
        // Still registered from the old address: the stack's dropping of
        // that registration is part of the change, not a failure to show.
        context_->networkSwitching = true;
        core.setNetworkReachable(false);
    }
    registerNow_();
    reach();
    if (wasDown)
        context_->post(rtc::EventType::Client, [](rtc::IRTCEventSink& sink, rtc::EventType type) {
            rtc::ClientEvent event(rtc::ClientEventType::NetworkAvailable);
            sink.Event(type, event);
        });
}

}  // namespace pelex::sip_engine::linphone_rtc
