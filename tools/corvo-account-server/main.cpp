// corvo-account-server: the server side of the account protocol, for the
// demo, the tests and anyone running the phone against a service of their
// own. See --help.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>

#include <cstdio>

#include "account_server.h"
#include "accounts.h"

using namespace pelex::corvo_server;

namespace {

/// "ADDR:PORT" or "[v6]:PORT"; false when it is not that.
bool parseListen(const QString& text, QHostAddress& address, quint16& port) {
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0) return false;
    QString host = text.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint value = text.mid(colon + 1).toUInt(&ok);
    if (!ok || value > 65535 || !address.setAddress(host)) return false;
    port = static_cast<quint16>(value);
    return true;
}

int fail(const QString& message) {
    std::fprintf(stderr, "corvo-account-server: %s\n", message.toLocal8Bit().constData());
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvo-account-server"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reference account server of the Pelex soft phone: checks sign-ins (LOG -> ACC) and hands out\n"
        "SIP login codes (SIP -> SIPCODE). Logs one line per message on standard output."));
    parser.addHelpOption();
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("Address and port to listen on; port 0 picks a free one."),
                                    QStringLiteral("ADDR:PORT"), QStringLiteral("127.0.0.1:5061"));
    const QCommandLineOption accountsFile(
        QStringLiteral("accounts"),
        QStringLiteral("Accounts, JSON in UTF-8: {\"1000\": {\"password\": \"...\", \"sip_password\": \"...\", "
                       "\"expired\": false}}"),
        QStringLiteral("FILE"));
    const QCommandLineOption sipServer(QStringLiteral("sip-server"), QStringLiteral("SIP server in login codes."),
                                       QStringLiteral("HOST"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption sipPort(QStringLiteral("sip-port"), QStringLiteral("SIP port in login codes."),
                                     QStringLiteral("PORT"), QStringLiteral("5060"));
    const QCommandLineOption challenge(QStringLiteral("challenge"),
                                       QStringLiteral("Answer the first LOG of each connection with AUT."));
    const QCommandLineOption before(QStringLiteral("before-acc"),
                                    QStringLiteral("Framed messages sent in the same piece as every ACC, before it."),
                                    QStringLiteral("TEXT"));
    const QCommandLineOption bytewise(QStringLiteral("bytewise"),
                                      QStringLiteral("Write every reply one byte at a time (for tests)."));
    parser.addOptions({listen, accountsFile, sipServer, sipPort, challenge, before, bytewise});
    parser.process(app);

    QHostAddress address;
    quint16 port = 0;
    if (!parseListen(parser.value(listen), address, port)) {
        return fail(QStringLiteral("--listen wants ADDR:PORT, not \"%1\"").arg(parser.value(listen)));
    }
    bool portOk = false;
    const uint sipPortValue = parser.value(sipPort).toUInt(&portOk);
    if (!portOk || sipPortValue == 0 || sipPortValue > 65535) {
        return fail(QStringLiteral("--sip-port wants a port number, not \"%1\"").arg(parser.value(sipPort)));
    }

    Accounts accounts;
    if (parser.isSet(accountsFile)) {
        try {
            accounts = loadAccounts(parser.value(accountsFile).toStdString());
        } catch (const AccountsError& e) {
            return fail(QString::fromStdString(e.what()));
        }
    } else {
        std::fprintf(stderr, "corvo-account-server: no --accounts given; every sign-in will be refused\n");
    }

    ServerSettings settings;
    settings.sipServer = parser.value(sipServer).toStdString();
    settings.sipPort = std::to_string(sipPortValue);
    settings.challengeFirstLogin = parser.isSet(challenge);
    settings.beforeAccessReply = parser.value(before).toStdString();

    AccountServer server(std::move(accounts), settings, parser.isSet(bytewise));
    if (!server.listen(address, port)) {
        return fail(QStringLiteral("cannot listen on %1: %2").arg(parser.value(listen), server.errorString()));
    }
    const QString shown = server.address().protocol() == QAbstractSocket::IPv6Protocol
                              ? u'[' + server.address().toString() + u']'
                              : server.address().toString();
    std::printf("listening on %s:%u\n", shown.toLocal8Bit().constData(), static_cast<unsigned>(server.port()));
    std::fflush(stdout);
    return app.exec();
}
