#pragma once
// What CorvoProtocol tells its owner: 25 events, one virtual each, raised
// synchronously (the handler runs to its end before the protocol goes on).
// Every default does nothing, so an owner overrides only what it handles.
// A handler may throw; the failure then travels back through the dispatcher
// to the receive loop like any other failure of the message being handled.

#include <QString>

#include <cstdint>

namespace pelex::account_protocol {

class CorvoProtocolEvents {
public:
    virtual ~CorvoProtocolEvents() = default;

    /// IPH: the router address of the other party.
    virtual void RouterIPHer(const QString& routerIP) { (void)routerIP; }
    /// LRS: the LAN status number and the router address.
    virtual void NetworkTypeIdentification(std::int32_t lrs, const QString& routerIP) { (void)lrs; (void)routerIP; }
    /// Never raised.
    virtual void UserNameAdded(const QString& userName, const QString& tcpSocket) { (void)userName; (void)tcpSocket; }
    /// Never raised.
    virtual void DemandUserToConnect(const QString& userName, const QString& ip, const QString& port,
                                     std::int32_t buzz, const QString& connectedTo) {
        (void)userName; (void)ip; (void)port; (void)buzz; (void)connectedTo;
    }
    /// Would come from the friend directory, which this system does not have.
    virtual void DemandUserToPerformConnect(const QString& userName, const QString& ip, const QString& port,
                                            std::int32_t buzz, const QString& connectedTo) {
        (void)userName; (void)ip; (void)port; (void)buzz; (void)connectedTo;
    }
    /// Never raised.
    virtual void ChangeMyStatus(const QString& userName, const QString& status) { (void)userName; (void)status; }
    /// SVR: move to another server.
    virtual void RedirectServer(const QString& serverIP, std::int16_t serverPort) { (void)serverIP; (void)serverPort; }
    /// CNC: the whole message text, code and separators included.
    virtual void ConnectUser(const QString& data) { (void)data; }
    /// BUZ: a user asks for permission to connect.
    virtual void BuzzAndRequestPermission(const QString& user) { (void)user; }
    /// CPR (user, reason) and MSG containing "rejected" (text, " ").
    virtual void ConnectionRejected(const QString& user, const QString& reason) { (void)user; (void)reason; }
    /// UNL.
    virtual void UnloadMe() {}
    /// ADV, REG, AFR, FAQ: addresses of the service's pages.
    virtual void AdvertisementPage(const QString& pageAddress) { (void)pageAddress; }
    virtual void RegistrationPage(const QString& pageAddress) { (void)pageAddress; }
    virtual void AddFriendPage(const QString& pageAddress) { (void)pageAddress; }
    virtual void FAQPage(const QString& pageAddress) { (void)pageAddress; }
    /// ACC 0: the sign-in was accepted; the SIP login code request follows.
    virtual void LoginSIP() {}
    /// The sign-in was refused (ACC -1 wrong credentials, ACC -2 account
    /// expired) or could not be sent (credentials with a character that has
    /// no Windows-1252 byte). The protocol has closed the socket and shown
    /// its box before this is raised; the owner only restores its sign-in.
    virtual void InvalidLogin() {}
    /// NSV: the main server's new address and port, both as text.
    virtual void MainServerAddressChange(const QString& address, const QString& port) { (void)address; (void)port; }
    /// CCR: the user, or "" when the message did not have exactly one value.
    virtual void ConnectionRequestCancel(const QString& user) { (void)user; }
    /// Never raised.
    virtual void ReqLanToLanConnection(const QString& userName, std::int32_t buzz, const QString& userName2) {
        (void)userName; (void)buzz; (void)userName2;
    }
    /// Would come from the friend directory, which this system does not have.
    virtual void PerformLanToLanConnection(const QString& userName, std::int32_t buzz, const QString& userName2) {
        (void)userName; (void)buzz; (void)userName2;
    }
    /// CNS: address and port, both as text.
    virtual void LanToLanClientConnect(const QString& ip, const QString& port) { (void)ip; (void)port; }
    /// STA.
    virtual void ShowStatus(const QString& reason) { (void)reason; }
    /// CRR.
    virtual void UserRing() {}
    /// SIPCODE: the login code, commas and all ("" means the login failed).
    virtual void LoginCode(const QString& text) { (void)text; }
};

}  // namespace pelex::account_protocol
