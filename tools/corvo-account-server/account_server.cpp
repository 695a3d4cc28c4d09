#include "account_server.h"

#include <QTcpSocket>
#include <QTimer>

#include <cstdio>
#include <exception>

namespace pelex::corvo_server {
namespace {

void logLine(const QString& peer, const std::string& text) {
    std::printf("%s %s\n", peer.toLocal8Bit().constData(), text.c_str());
    std::fflush(stdout);
}

// One connected client. Deletes itself (through its socket's parent) when
// the client goes away.
class Client : public QObject {
public:
    Client(QTcpSocket* socket, const Accounts& accounts, const ServerSettings& settings, bool bytewise)
        : QObject(socket), socket_(socket), session_(accounts, settings), bytewise_(bytewise) {
        peer_ = socket->peerAddress().toString() + u':' + QString::number(socket->peerPort());
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, &Client::read);
        connect(socket, &QTcpSocket::disconnected, this, [this] {
            logLine(peer_, "disconnected");
            socket_->deleteLater();
        });
        connect(&drip_, &QTimer::timeout, this, &Client::dripOne);
        logLine(peer_, "connected");
    }

private:
    void read() {
        const QByteArray data = socket_->readAll();
        Session::Output out;
        try {
            out = session_.receive(std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
        } catch (const std::exception& e) {
            out.log.push_back(std::string("dropped: ") + e.what());
            out.drop = true;
        }
        for (const std::string& line : out.log) logLine(peer_, line);
        write(out.reply);
        if (out.drop) {
            socket_->disconnectFromHost();
        }
    }

    void write(const std::string& reply) {
        if (reply.empty()) return;
        if (!bytewise_) {
            socket_->write(reply.data(), static_cast<qint64>(reply.size()));
            return;
        }
        // One byte per write, a little apart, so the client sees every
        // message (and its delimiter) arrive in pieces.
        dripping_ += reply;
        if (!drip_.isActive()) drip_.start(2);
    }

    void dripOne() {
        if (dripping_.empty()) {
            drip_.stop();
            return;
        }
        socket_->write(dripping_.data(), 1);
        socket_->flush();
        dripping_.erase(0, 1);
    }

    QTcpSocket* socket_;
    Session session_;
    bool bytewise_;
    QString peer_;
    QTimer drip_;
    std::string dripping_;
};

}  // namespace

AccountServer::AccountServer(Accounts accounts, ServerSettings settings, bool bytewise)
    : accounts_(std::move(accounts)), settings_(std::move(settings)), bytewise_(bytewise) {
    connect(&server_, &QTcpServer::newConnection, this, &AccountServer::accept);
}

bool AccountServer::listen(const QHostAddress& address, quint16 port) { return server_.listen(address, port); }

void AccountServer::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        new Client(socket, accounts_, settings_, bytewise_);  // owned by the socket
    }
}

}  // namespace pelex::corvo_server
