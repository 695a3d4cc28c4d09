#include "sip_engine/linphone/stack_account.h"

#include "sip_engine/linphone/linphone_objects.h"
#include "sip_engine/rtc/rtc_error.h"

namespace pelex::sip_engine::linphone_rtc {

using rtc::RTCError;

namespace {

linphone::TransportType transportOf(const ProvisionedServer& server) {
    if (server.protocol == u"TCP") return linphone::TransportType::Tcp;
    if (server.protocol == u"TLS") return linphone::TransportType::Tls;
    return linphone::TransportType::Udp;
}

}  // namespace

std::shared_ptr<linphone::Account> createAccount(linphone::Core& core, const ProvisionedProfile& p) {
    const ProvisionedServer* registrar = p.server(u"registrar");
    const ProvisionedServer* proxy = p.server(u"proxy");
    if (!registrar) registrar = proxy ? proxy : &p.servers.front();
    auto params = core.createAccountParams();
    if (params->setIdentityAddress(sipAddress(p.uri)) != 0) throw RTCError("bad user address");
    auto server = serverAddress(registrar->addr);
    server->setTransport(transportOf(*registrar));
    if (params->setServerAddress(server) != 0) throw RTCError("bad server address");
    if (proxy && proxy->addr != registrar->addr) {
        auto route = serverAddress(proxy->addr);
        route->setTransport(transportOf(*proxy));
        params->setRoutesAddresses({route});
    }
    params->enableRegister(true);
    core.addAuthInfo(linphone::Factory::get()->createAuthInfo(utf8(p.account), "", utf8(p.password), "", "", ""));
    auto account = core.createAccount(params);
    if (!account) throw RTCError("the account could not be created");
    return account;
}

void switchRegistration(linphone::Account& account, bool on) {
    if (account.getParams()->registerEnabled() == on) {
        if (on) account.refreshRegister();
        return;
    }
    auto params = account.getParams()->clone();
    params->enableRegister(on);
    account.setParams(params);
}

}  // namespace pelex::sip_engine::linphone_rtc
