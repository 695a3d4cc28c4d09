#pragma once
// CorvoProtocol: the client side of the account server's text protocol.
//
// A message is a code, the separator "%20", the fields joined by "%20" and
// the end delimiter "{$}". Requests write one message each to the socket in
// TCPsock (only while it is connected); ProcessStringData() handles one
// received message (delimiter already removed) and tells the owner what
// happened through CorvoProtocolEvents. Everything runs on one thread.
//
// Failures are C++ exceptions (ProtocolFailure, SocketFailure,
// codepage::UnrepresentableText). Where a handler ignores them is written
// with the helpers of platform/failure_policy.h; everything else travels back to the
// caller (the receive loop then stops its batch).

#include <QString>
#include <QStringList>

#include <cstdint>
#include <stdexcept>

#include "account_protocol/contact_list.h"
#include "account_protocol/corvo_protocol_events.h"
#include "account_protocol/socket.h"
#include "platform/message_box.h"
#include "platform/process_starter.h"

namespace pelex::account_protocol {

/// A received message lacks a field that its handling reads, or a field
/// that must be a 16-bit number is not one.
class ProtocolFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CorvoProtocol {
public:
    /// `events`, `messageBox` and `processStarter` must outlive the object.
    /// `controlFolder` is the folder that holds the control's own library
    /// file; the updater is looked for there.
    CorvoProtocol(CorvoProtocolEvents& events, platform::MessageBox& messageBox,
                  platform::ProcessStarter& processStarter, QString controlFolder = {});

    CorvoProtocol(const CorvoProtocol&) = delete;
    CorvoProtocol& operator=(const CorvoProtocol&) = delete;

    // Public fields, read and written by the owner directly.

    std::int16_t LRStatus = 0;            ///< LAN status number last received with LRS
    QString Deliminator = QStringLiteral("%20");      ///< field separator
    QString DecodeKey;                    ///< key text of the credential encryption
    QString CVP_command_bits_SIP = QStringLiteral("SIP");
    QString CVP_command_bits_SIPCode = QStringLiteral("SIPCODE");
    QString CVP_command_bits_USF = QStringLiteral("USF");
    QString CVP_command_bits_CNC = QStringLiteral("CNC");
    QString CVP_command_bits_CNS = QStringLiteral("CNS");
    QString CVP_command_bits_RAU = QStringLiteral("RAU");
    QString CVP_command_bits_RAF = QStringLiteral("RAF");
    QString CVP_command_bits_RAS = QStringLiteral("RAS");
    QString CVP_command_bits_RRU = QStringLiteral("RRU");
    QString CVP_command_bits_RRF = QStringLiteral("RRF");
    QString CVP_command_bits_RRS = QStringLiteral("RRS");
    QString CVP_command_bits_BUZ = QStringLiteral("BUZ");
    QString CVP_command_bits_USB = QStringLiteral("USB");
    QString CVP_command_bits_MSG = QStringLiteral("MSG");
    QString CVP_command_bits_ADV = QStringLiteral("ADV");
    QString CVP_command_bits_REG = QStringLiteral("REG");
    QString CVP_command_bits_AFR = QStringLiteral("AFR");
    QString CVP_command_bits_FAQ = QStringLiteral("FAQ");
    QString CVP_command_bits_NSV = QStringLiteral("NSV");
    QString CVP_command_bits_CCR = QStringLiteral("CCR");
    QString CVP_command_bits_UNL = QStringLiteral("UNL");
    QString CVP_command_bits_LRS = QStringLiteral("LRS");
    QString CVP_command_bits_RIP = QStringLiteral("RIP");
    QString Corvo2UserName;               ///< field 2 of an accepted sign-in reply
    QString Corvo2Password;               ///< field 3 of an accepted sign-in reply
    QString Corvo2ServerIP;               ///< field 4 of an accepted sign-in reply

    // Properties.

    /// The socket every request is written to (not owned; may be nullptr).
    Socket* TCPsock() const { return tcpSock_; }
    void setTCPsock(Socket* socket) { tcpSock_ = socket; }
    /// The contact list USB and USF keep (not owned; nullptr for none).
    void setListViewControl(ContactList* list) { listView_ = list; }
    const QString& INIFilepath() const { return iniFilePath_; }
    void setINIFilepath(const QString& path) { iniFilePath_ = path; }
    const QString& UserName() const { return userName_; }
    void setUserName(const QString& name) { userName_ = name; }
    const QString& ListeningPort() const { return listeningPort_; }
    void setListeningPort(const QString& port) { listeningPort_ = port; }
    const QString& Password() const { return password_; }
    void setPassword(const QString& password) { password_ = password; }
    /// Body of USB and USF; nothing assigns it, so it stays empty.
    const QString& AddressBookString() const { return addressBookString_; }
    /// The end delimiter "{$}".
    const QString& strEndDeliminator() const { return endDeliminator_; }
    /// Sign-in result; -1 until an ACC with a number arrives.
    std::int32_t AccessRight() const { return accessRight_; }
    void setAccessRight(std::int32_t value) { accessRight_ = value; }

    /// The folder that holds the control's library file (for the updater).
    const QString& controlFolder() const { return controlFolder_; }
    void setControlFolder(const QString& folder) { controlFolder_ = folder; }
    /// The service's web-site host named at the end of the account-expired
    /// text.
    const QString& serviceWebHost() const { return serviceWebHost_; }
    void setServiceWebHost(const QString& host) { serviceWebHost_ = host; }

    /// Returns code, separator, body, then `end` (the end delimiter when
    /// `end` is empty).
    QString BuildMessage(const QString& code, const QString& body, const QString& end = {}) const;

    // Requests. Each sends one message while TCPsock is connected and
    // nothing otherwise. Unless noted, a failure of the socket (or a text
    // with a character that has no Windows-1252 byte) is thrown to the
    // caller, and a null TCPsock throws SocketFailure.

    void SendConnectedUser(const QString& user);                      ///< BCT UserName; user
    void SendDisconnectUser(const QString& user);                     ///< ECT UserName; user
    void SendVersion();                                               ///< APP "CORVO "
    void SendLocalIPandPort();                                        ///< UIP UserName; local IP; local port; ListeningPort
    void SendAuthetication();                                         ///< AUT (no field)
    void SendAccessRight();                                           ///< ACC AccessRight
    void SendConnectPermissionGranted(const QString& user);           ///< CPG UserName; user
    void SendRequestRouterIP(const QString& user);                    ///< RIP UserName; user
    void SendConnectPermissionRejected(const QString& user);          ///< CPR user; " "
    /// LOG: enciphered UserName; enciphered Password; ""; DecodeKey. Traps
    /// every failure. When not connected it shows "You are not connected to
    /// VozeDezor server." instead. When a credential or the key has a
    /// character without a Windows-1252 byte, nothing is sent: the socket is
    /// closed, a box says so and InvalidLogin is raised.
    void SendUserNamePassword();
    void SendUserStatusOnline();                                      ///< USU UserName; "1"
    void SendUserStatusOffline();                                     ///< USU UserName; " 0"
    void SendUserAddressBookRequest();                                ///< USR UserName; Password
    void SendUserAddressBookFeedback();                               ///< USF AddressBookString
    void SendConnectionRequest(const QString& userToConnectTo);       ///< CNR UserName; user
    void SendRequestToAddUser(const QString& userId);                 ///< RAU user id
    /// CCR user, written without BuildMessage; traps every failure.
    void sendConnectionRequestCancel(const QString& user);
    void SendRequestToRemoveUser(const QString& removeUserId);        ///< RRU UserName; user id
    void SendAdvertisementPageAddress(const QString& address);        ///< ADV address
    void SendRegistrationPageAddress(const QString& address);         ///< REG address
    void SendAddFriendPageAddress(const QString& address);            ///< AFR address
    void SendFAQPageAddress(const QString& address);                  ///< FAQ address
    void SendDMZStatus(bool useDMZ);                                  ///< DMZ UserName; "True"/"False"
    void SendServerRedirectCommand(const QString& serverIP, std::int16_t serverPort);   ///< SVR
    void SendMainServerAddressChange(const QString& serverIP, std::int16_t serverPort); ///< NSV
    void SendUserAddressBook();                                       ///< USB AddressBookString
    void SendUserLanRealStatus();                                     ///< LRS LRStatus
    void SendLastestExe();                                            ///< UPD (no field)
    void SendRinging(const QString& user);                            ///< CRR user
    void SendMyStatus(const QString& user, const QString& reason);    ///< STA user; reason
    /// SIP: `text` enciphered under DecodeKey (computed first, connected or
    /// not); DecodeKey.
    void RequestSipPhoneLoginCode(const QString& text);
    void SendSipPhoneLoginCode(const QString& text);                  ///< SIPCODE text
    /// SendVersion, then SendLocalIPandPort.
    void start();

    /// Handles one received message (end delimiter removed): splits it at
    /// the separator, picks the branch by the code, updates the state,
    /// answers, shows the sign-in boxes and raises events. Returns false.
    /// Throws when the message lacks a field it reads or carries a bad
    /// number; what was done before the failure stays done.
    bool ProcessStringData(const QString& value);

private:
    bool connected() const;
    Socket& socket() const;
    void send(const QString& code, const QString& body);
    using Fields = QList<QStringView>;
    void handleAccessRight(const Fields& fields);
    void handleContactList(const Fields& fields, bool addRows);
    void startUpdater();
    void refuseSignIn(const QString& text);

    CorvoProtocolEvents& events_;
    platform::MessageBox& messageBox_;
    platform::ProcessStarter& processStarter_;
    QString controlFolder_;
    QString serviceWebHost_ = QStringLiteral("www.vozedezor.com");

    const QString version_ = QStringLiteral("CORVO ");
    const QString endDeliminator_ = QStringLiteral("{$}");
    const QString APP_ = QStringLiteral("APP"), AUT_ = QStringLiteral("AUT"), LOG_ = QStringLiteral("LOG"), ACC_ = QStringLiteral("ACC"), USR_ = QStringLiteral("USR"),
                  USU_ = QStringLiteral("USU"), UIP_ = QStringLiteral("UIP"), CNR_ = QStringLiteral("CNR"), CRR_ = QStringLiteral("CRR"), CPG_ = QStringLiteral("CPG"),
                  CPR_ = QStringLiteral("CPR"), SVR_ = QStringLiteral("SVR"), DMZ_ = QStringLiteral("DMZ"), UPD_ = QStringLiteral("UPD"), STA_ = QStringLiteral("STA"),
                  IPH_ = QStringLiteral("IPH"), BCT_ = QStringLiteral("BCT"), ECT_ = QStringLiteral("ECT");

    Socket* tcpSock_ = nullptr;
    ContactList* listView_ = nullptr;
    QString iniFilePath_;
    QString userName_;
    QString listeningPort_;
    QString password_;
    QString addressBookString_;
    std::int32_t accessRight_ = -1;
};

/// Converts a field to a 16-bit signed number: optional blanks around an
/// optional sign and decimal digits. Throws ProtocolFailure otherwise or
/// when the value is outside -32768..32767.
std::int16_t toInt16(const QString& field);
std::int16_t toInt16(QStringView field);

}  // namespace pelex::account_protocol
