// The client side (QtTcpSocket, receive loop, CorvoProtocol) against the
// real reference account server over loopback TCP.

#include <gtest/gtest.h>

#include <QDateTime>

#include "account_protocol/corvo_protocol.h"
#include "account_protocol/qt_tcp_socket.h"
#include "account_protocol/receive_loop.h"
#include "account_protocol/testing/recording_events.h"
#include "codepage/codepage.h"
#include "crypto/credential_text.h"
#include "platform/testing/recording_message_box.h"
#include "platform/testing/recording_process_starter.h"
#include "server_process.h"

namespace pelex::account_protocol {
namespace {

using namespace Qt::Literals::StringLiterals;

const std::string kAccounts = R"({"1000": {"password": "secret", "sip_password": "sip-Pa55 word!"},
                                  "2000": {"password": "old", "sip_password": "x", "expired": true}})";

// What the control does with the socket, reduced to the protocol's part.
class Client : public SocketEvents {
public:
    Client(QString user, QString password) : user_(std::move(user)), password_(std::move(password)) {
        socket.setEvents(this);
    }

    void Connect() override {
        key = QDateTime::currentDateTime().toString(u"M/d/yyyy h:mm:ss AP"_s);
        handOverConnection(socket, cvp, user_, password_, key);
    }
    void DataArrival(std::size_t) override {
        ++arrivals;
        outcomes.push_back(loop.onDataArrival(socket, cvp));
    }
    void Close() override { closedByServer = true; }
    void Error(int, const QString& text) override { error = text; }

    bool finished() const {
        return std::any_of(events.raised.begin(), events.raised.end(), [](const std::string& e) {
            return e.rfind("LoginCode(", 0) == 0 || e == "InvalidLogin()";
        });
    }

    testing::RecordingEvents events;
    platform::testing::RecordingMessageBox box;
    platform::testing::RecordingProcessStarter starter;
    QtTcpSocket socket;
    CorvoProtocol cvp{events, box, starter};
    ReceiveLoop loop;
    QString key;
    int arrivals = 0;
    std::vector<ArrivalOutcome> outcomes;
    bool closedByServer = false;
    QString error;

private:
    QString user_, password_;
};

/// The SIP password the client deciphers from a login code, as the control does.
std::string sipPasswordFrom(const std::string& loginCodeEvent, const QString& key, std::string* server,
                            std::string* port) {
    const QString code = QString::fromStdString(loginCodeEvent).mid(10).chopped(1);  // LoginCode(...)
    const QStringList parts = code.split(u',');
    if (parts.size() < 3) return "<bad login code " + code.toStdString() + ">";
    *server = parts[1].trimmed().toStdString();
    *port = parts[2].trimmed().toStdString();
    return QString::fromStdString(crypto::DecryptText(parts[0].toStdString(), codepage::toAnsi(key.toStdU16String())))
        .trimmed()
        .toStdString();
}

class ServerConversationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::ensureCoreApplication(); }

    /// Signs in against a fresh server started with `extra` arguments.
    void signIn(testing::ServerProcess& server, Client& client) {
        ASSERT_NE(server.port(), 0) << server.output().toStdString();
        client.socket.Connect(u"127.0.0.1"_s, server.port());
        ASSERT_TRUE(testing::waitFor([&] { return client.finished(); }))
            << "events: " << client.events.raised.size() << "\nserver: " << server.output().toStdString();
    }
};

TEST_F(ServerConversationTest, SignInReceivesALoginCodeTheClientCanDecipher) {
    testing::ServerProcess server(kAccounts, {u"--sip-server"_s, u"sip.test"_s, u"--sip-port"_s, u"5070"_s});
    Client client(u"1000"_s, u"secret"_s);
    signIn(server, client);
    ASSERT_EQ(client.events.raised.size(), 2u);
    EXPECT_EQ(client.events.raised[0], "LoginSIP()");
    std::string sipServer, sipPort;
    EXPECT_EQ(sipPasswordFrom(client.events.raised[1], client.key, &sipServer, &sipPort), "sip-Pa55 word!");
    EXPECT_EQ(sipServer, "sip.test");
    EXPECT_EQ(sipPort, "5070");
    EXPECT_EQ(client.cvp.AccessRight(), 0);
    EXPECT_EQ(client.cvp.Corvo2UserName, u"1000");
    EXPECT_EQ(client.cvp.Corvo2ServerIP, u"sip.test");
    EXPECT_TRUE(client.box.shown.empty());
    ASSERT_TRUE(testing::waitFor([&] { return server.output().contains(u"SIPCODE"_s); }));
    const QString log = server.output();
    EXPECT_TRUE(log.contains(u"LOG user=1000 -> ACC 0"_s)) << log.toStdString();
    EXPECT_TRUE(log.contains(u"SIP user=1000 -> SIPCODE"_s)) << log.toStdString();
}

TEST_F(ServerConversationTest, WrongPasswordIsRefusedAndTheClientCloses) {
    testing::ServerProcess server(kAccounts, {});
    Client client(u"1000"_s, u"Secret"_s);
    signIn(server, client);
    EXPECT_EQ(client.events.raised, std::vector<std::string>{"InvalidLogin()"});
    EXPECT_EQ(client.cvp.AccessRight(), -1);
    ASSERT_EQ(client.box.shown.size(), 1u);
    EXPECT_EQ(client.box.shown[0].text, u"Invalid user name and password, please try again !!!");
    EXPECT_EQ(client.socket.State(), 0);
}

TEST_F(ServerConversationTest, ExpiredAccountIsRefusedWithItsOwnBox) {
    testing::ServerProcess server(kAccounts, {});
    Client client(u"2000"_s, u"old"_s);
    signIn(server, client);
    EXPECT_EQ(client.events.raised, std::vector<std::string>{"InvalidLogin()"});
    EXPECT_EQ(client.cvp.AccessRight(), -2);
    ASSERT_EQ(client.box.shown.size(), 1u);
    EXPECT_TRUE(QString::fromStdU16String(client.box.shown[0].text).contains(u"expired"_s));
    EXPECT_EQ(client.socket.State(), 0);
}

TEST_F(ServerConversationTest, AutFromTheServerMakesTheClientSignInAgain) {
    testing::ServerProcess server(kAccounts, {u"--challenge"_s});
    Client client(u"1000"_s, u"secret"_s);
    signIn(server, client);
    EXPECT_EQ(client.events.raised.size(), 2u);
    const QString log = server.output();
    EXPECT_TRUE(log.contains(u"-> AUT (sign in again)"_s)) << log.toStdString();
    EXPECT_TRUE(log.contains(u"LOG user=1000 -> ACC 0"_s)) << log.toStdString();
}

TEST_F(ServerConversationTest, RepliesArrivingByteByByteAreHandledOnce) {
    testing::ServerProcess server(kAccounts, {u"--bytewise"_s});
    Client client(u"1000"_s, u"secret"_s);
    signIn(server, client);
    ASSERT_EQ(client.events.raised.size(), 2u);
    std::string sipServer, sipPort;
    EXPECT_EQ(sipPasswordFrom(client.events.raised[1], client.key, &sipServer, &sipPort), "sip-Pa55 word!");
    EXPECT_GT(client.arrivals, 20) << "the replies came in many pieces";
}

TEST_F(ServerConversationTest, SeveralRepliesInOneReadAreHandledInOrder) {
    testing::ServerProcess server(kAccounts, {u"--before-acc"_s, u"STA%20hello{$}IPH%2010.0.0.9{$}"_s});
    Client client(u"1000"_s, u"secret"_s);
    signIn(server, client);
    ASSERT_GE(client.events.raised.size(), 3u);
    EXPECT_EQ(client.events.raised[0], "ShowStatus(hello)");
    EXPECT_EQ(client.events.raised[1], "RouterIPHer(10.0.0.9)");
    EXPECT_EQ(client.events.raised[2], "LoginSIP()");
}

TEST_F(ServerConversationTest, AServerThatDropsTheClientIsReported) {
    testing::ServerProcess server(kAccounts, {});
    ASSERT_NE(server.port(), 0);
    Client client(u"1000"_s, u"secret"_s);
    client.socket.Connect(u"127.0.0.1"_s, server.port());
    ASSERT_TRUE(testing::waitFor([&] { return client.socket.State() == 7; }))
        << "state " << client.socket.State() << " error " << client.error.toStdString();
    client.socket.sendBytes(std::string(70 * 1024, 'z'));  // never a delimiter
    // The server closes with unread bytes, which may reach the client as a
    // close or as a reset: either way the owner hears of it.
    EXPECT_TRUE(testing::waitFor([&] { return client.closedByServer || !client.error.isEmpty(); }, 15000))
        << "state " << client.socket.State() << "\nserver: " << server.output().toStdString();
    EXPECT_TRUE(server.output().contains(u"dropped"_s));
}

TEST_F(ServerConversationTest, ARefusedConnectionIsReported) {
    quint16 freePort = 0;
    {
        testing::ServerProcess server(kAccounts, {});
        freePort = server.port();
    }  // stopped: nothing listens there now
    Client client(u"1000"_s, u"secret"_s);
    client.socket.Connect(u"127.0.0.1"_s, freePort);
    EXPECT_TRUE(testing::waitFor([&] { return !client.error.isEmpty(); }));
    EXPECT_EQ(client.socket.State(), 9);
}

TEST_F(ServerConversationTest, ManyClientsAtOnce) {
    testing::ServerProcess server(kAccounts, {});
    ASSERT_NE(server.port(), 0);
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 20; ++i) {
        clients.push_back(std::make_unique<Client>(u"1000"_s, i % 2 ? u"secret"_s : u"nope"_s));
        clients.back()->socket.Connect(u"127.0.0.1"_s, server.port());
    }
    ASSERT_TRUE(testing::waitFor([&] {
        return std::all_of(clients.begin(), clients.end(), [](const auto& c) { return c->finished(); });
    }));
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(clients[i]->cvp.AccessRight(), i % 2 ? 0 : -1) << i;
    }
}

}  // namespace
}  // namespace pelex::account_protocol
