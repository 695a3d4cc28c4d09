// CorvoProtocol: construction, message building and the requests.

#include "account_protocol/corvo_protocol.h"

#include "platform/failure_policy.h"
#include "account_protocol/text_bytes.h"
#include "crypto/credential_text.h"

#include <utility>

namespace pelex::account_protocol {
using platform::endQuietly;
using platform::skipStep;
using platform::trapNothing;
namespace {

const QString kNotConnectedText = QStringLiteral("You are not connected to VozeDezor server.");
const QString kUnsendableCredentialText = QStringLiteral(
    "Your VOIP number or password contains a character that cannot be sent to the VozeDezor server. "
    "Please check what you typed and sign in again.");

QString encipher(const QString& plain, const QString& keyText) {
    return QString::fromLatin1(crypto::EncryptText(toAnsi(plain), toAnsi(keyText)));
}

}  // namespace

CorvoProtocol::CorvoProtocol(CorvoProtocolEvents& events, platform::MessageBox& messageBox,
                             platform::ProcessStarter& processStarter, QString controlFolder)
    : events_(events),
      messageBox_(messageBox),
      processStarter_(processStarter),
      controlFolder_(std::move(controlFolder)) {}

QString CorvoProtocol::BuildMessage(const QString& code, const QString& body, const QString& end) const {
    return code + Deliminator + body + (end.isEmpty() ? endDeliminator_ : end);
}

Socket& CorvoProtocol::socket() const {
    if (tcpSock_ == nullptr) {
        throw SocketFailure("no socket has been assigned");
    }
    return *tcpSock_;
}

bool CorvoProtocol::connected() const { return socket().State() == static_cast<int>(SocketState::Connected); }

void CorvoProtocol::send(const QString& code, const QString& body) {
    if (connected()) {
        socket().SendData(BuildMessage(code, body));
    }
}

void CorvoProtocol::SendConnectedUser(const QString& user) { send(BCT_, userName_ + Deliminator + user); }

void CorvoProtocol::SendDisconnectUser(const QString& user) { send(ECT_, userName_ + Deliminator + user); }

void CorvoProtocol::SendVersion() { send(APP_, version_); }

void CorvoProtocol::SendLocalIPandPort() {
    if (!connected()) return;
    const QStringList body{userName_, socket().LocalIP(), QString::number(socket().LocalPort()), listeningPort_};
    socket().SendData(BuildMessage(UIP_, body.join(Deliminator)));
}

void CorvoProtocol::SendAuthetication() { send(AUT_, QString()); }

void CorvoProtocol::SendAccessRight() { send(ACC_, QString::number(accessRight_)); }

void CorvoProtocol::SendConnectPermissionGranted(const QString& user) { send(CPG_, userName_ + Deliminator + user); }

void CorvoProtocol::SendRequestRouterIP(const QString& user) { send(CVP_command_bits_RIP, userName_ + Deliminator + user); }

void CorvoProtocol::SendConnectPermissionRejected(const QString& user) {
    send(CPR_, user + Deliminator + QStringLiteral(" "));
}

void CorvoProtocol::SendUserNamePassword() {
    bool isConnected = false;
    skipStep([&] { isConnected = connected(); });
    if (!isConnected) {
        messageBox_.show(kNotConnectedText.toStdU16String(), u"VozeDezor", platform::MessageIcon::Information);
        return;
    }
    // A credential must never go out with a character replaced: refuse the
    // sign-in instead, and say why.
    if (!isRepresentable(userName_) || !isRepresentable(password_) || !isRepresentable(DecodeKey)) {
        refuseSignIn(kUnsendableCredentialText);
        return;
    }
    QString e1, e2;
    skipStep([&] { e1 = encipher(userName_, DecodeKey); });
    skipStep([&] { e2 = encipher(password_, DecodeKey); });
    skipStep([&] {
        const QStringList body{e1, e2, QString(), DecodeKey};
        socket().SendData(BuildMessage(LOG_, body.join(Deliminator)));
    });
}

void CorvoProtocol::SendUserStatusOnline() { send(USU_, userName_ + Deliminator + QStringLiteral("1")); }

void CorvoProtocol::SendUserStatusOffline() { send(USU_, userName_ + Deliminator + QStringLiteral(" 0")); }

void CorvoProtocol::SendUserAddressBookRequest() { send(USR_, userName_ + Deliminator + password_); }

void CorvoProtocol::SendUserAddressBookFeedback() { send(CVP_command_bits_USF, addressBookString_); }

void CorvoProtocol::SendConnectionRequest(const QString& userToConnectTo) {
    send(CNR_, userName_ + Deliminator + userToConnectTo);
}

void CorvoProtocol::SendRequestToAddUser(const QString& userId) { send(CVP_command_bits_RAU, userId); }

void CorvoProtocol::sendConnectionRequestCancel(const QString& user) {
    skipStep([&] {
        if (connected()) {
            socket().SendData(CVP_command_bits_CCR + Deliminator + user + endDeliminator_);
        }
    });
}

void CorvoProtocol::SendRequestToRemoveUser(const QString& removeUserId) {
    send(CVP_command_bits_RRU, userName_ + Deliminator + removeUserId);
}

void CorvoProtocol::SendAdvertisementPageAddress(const QString& address) { send(CVP_command_bits_ADV, address); }

void CorvoProtocol::SendRegistrationPageAddress(const QString& address) { send(CVP_command_bits_REG, address); }

void CorvoProtocol::SendAddFriendPageAddress(const QString& address) { send(CVP_command_bits_AFR, address); }

void CorvoProtocol::SendFAQPageAddress(const QString& address) { send(CVP_command_bits_FAQ, address); }

void CorvoProtocol::SendDMZStatus(bool useDMZ) {
    send(DMZ_, userName_ + Deliminator + (useDMZ ? QStringLiteral("True") : QStringLiteral("False")));
}

void CorvoProtocol::SendServerRedirectCommand(const QString& serverIP, std::int16_t serverPort) {
    send(SVR_, serverIP + Deliminator + QString::number(serverPort));
}

void CorvoProtocol::SendMainServerAddressChange(const QString& serverIP, std::int16_t serverPort) {
    send(CVP_command_bits_NSV, serverIP + Deliminator + QString::number(serverPort));
}

void CorvoProtocol::SendUserAddressBook() { send(CVP_command_bits_USB, addressBookString_); }

void CorvoProtocol::SendUserLanRealStatus() { send(CVP_command_bits_LRS, QString::number(LRStatus)); }

void CorvoProtocol::SendLastestExe() { send(UPD_, QString()); }

void CorvoProtocol::SendRinging(const QString& user) { send(CRR_, user); }

void CorvoProtocol::SendMyStatus(const QString& user, const QString& reason) { send(STA_, user + Deliminator + reason); }

void CorvoProtocol::RequestSipPhoneLoginCode(const QString& text) {
    const QString enciphered = encipher(text, DecodeKey);
    send(CVP_command_bits_SIP, enciphered + Deliminator + DecodeKey);
}

void CorvoProtocol::SendSipPhoneLoginCode(const QString& text) { send(CVP_command_bits_SIPCode, text); }

void CorvoProtocol::start() {
    SendVersion();
    SendLocalIPandPort();
}

}  // namespace pelex::account_protocol
