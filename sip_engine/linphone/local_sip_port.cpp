#include "sip_engine/linphone/local_sip_port.h"

#include <QtGlobal>

#include "sip_engine/linphone/core_stopper.h"

namespace pelex::sip_engine::linphone_rtc {
namespace {

void listenOnUdp(linphone::Core& core, int port) {
    auto transports = linphone::Factory::get()->createTransports();
    transports->setUdpPort(port);
    transports->setTcpPort(0);
    transports->setTlsPort(0);
    core.setTransports(transports);
}

int udpPortOf(linphone::Core& core) {
    auto transports = core.getTransportsUsed();
    return transports ? transports->getUdpPort() : 0;
}

}  // namespace

LocalSipPort::LocalSipPort(int wanted, std::function<void()> moved) : wanted_(wanted), moved_(std::move(moved)) {}

int LocalSipPort::portToBind() {
    waiting_ = wanted_ > 0 && portHeldByStoppingCore(wanted_);
    return waiting_ ? -1 : wanted_;
}

void LocalSipPort::claim(const std::shared_ptr<linphone::Core>& core) {
    core_ = core;
    if (!waiting_) {
        insistOnAPort(*core);
        return;
    }
    core->setNetworkReachable(false);
    whenPortReleased(wanted_, [alive = std::weak_ptr(alive_), this] {
        if (alive.lock()) moveToWanted();
    });
}

void LocalSipPort::release() {
    alive_ = std::make_shared<char>();  // callbacks of the old token see it gone
    core_.reset();
}

void LocalSipPort::moveToWanted() {
    waiting_ = false;
    auto core = core_.lock();
    if (!core) return;
    listenOnUdp(*core, wanted_);
    insistOnAPort(*core);
    if (moved_) moved_();
}

void LocalSipPort::insistOnAPort(linphone::Core& core) {
    if (wanted_ <= 0 || udpPortOf(core) == wanted_) return;
    listenOnUdp(core, -1);
    qWarning("The local SIP port %d is in use by another program; the phone uses port %d instead.", wanted_,
             udpPortOf(core));
}

}  // namespace pelex::sip_engine::linphone_rtc
