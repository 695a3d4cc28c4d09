#pragma once
// CorvoProtocolEvents for tests: every event becomes one line of text,
// "Name(arg1|arg2)", in the order raised. `onEvent` (optional) runs after
// each is recorded, so a test can act from inside a handler.

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

#include "account_protocol/corvo_protocol_events.h"

namespace pelex::account_protocol::testing {

class RecordingEvents : public CorvoProtocolEvents {
public:
    std::vector<std::string> raised;
    std::function<void(const std::string& name)> onEvent;

    void RouterIPHer(const QString& a) override { record("RouterIPHer", {a}); }
    void NetworkTypeIdentification(std::int32_t n, const QString& a) override {
        record("NetworkTypeIdentification", {QString::number(n), a});
    }
    void RedirectServer(const QString& a, std::int16_t p) override { record("RedirectServer", {a, QString::number(p)}); }
    void ConnectUser(const QString& a) override { record("ConnectUser", {a}); }
    void BuzzAndRequestPermission(const QString& a) override { record("BuzzAndRequestPermission", {a}); }
    void ConnectionRejected(const QString& a, const QString& b) override { record("ConnectionRejected", {a, b}); }
    void UnloadMe() override { record("UnloadMe", {}); }
    void AdvertisementPage(const QString& a) override { record("AdvertisementPage", {a}); }
    void RegistrationPage(const QString& a) override { record("RegistrationPage", {a}); }
    void AddFriendPage(const QString& a) override { record("AddFriendPage", {a}); }
    void FAQPage(const QString& a) override { record("FAQPage", {a}); }
    void LoginSIP() override { record("LoginSIP", {}); }
    void InvalidLogin() override { record("InvalidLogin", {}); }
    void MainServerAddressChange(const QString& a, const QString& b) override {
        record("MainServerAddressChange", {a, b});
    }
    void ConnectionRequestCancel(const QString& a) override { record("ConnectionRequestCancel", {a}); }
    void LanToLanClientConnect(const QString& a, const QString& b) override { record("LanToLanClientConnect", {a, b}); }
    void ShowStatus(const QString& a) override { record("ShowStatus", {a}); }
    void UserRing() override { record("UserRing", {}); }
    void LoginCode(const QString& a) override { record("LoginCode", {a}); }

private:
    void record(const std::string& name, const QStringList& args) {
        raised.push_back(name + "(" + args.join(u'|').toStdString() + ")");
        if (onEvent) onEvent(name);
    }
};

}  // namespace pelex::account_protocol::testing
