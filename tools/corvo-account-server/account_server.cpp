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
// the client goes away. What it reads is bounded by the session, what waits
// to be written by maxUnsent: a client that breaks either bound is dropped.
class Client : public QObject {
public:
    Client(QTcpSocket* socket, const Accounts& accounts, const ServerSettings& settings, bool bytewise)
        : QObject(socket),
          socket_(socket),
          session_(accounts, settings),
          maxUnsent_(settings.maxUnsent),
          bytewise_(bytewise) {
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
        if (dropped_) return;
        const QByteArray data = socket_->readAll();
        Session::Output out;
        try {
            out = session_.receive(std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
        } catch (const std::exception& e) {
            out.log.push_back(std::string("dropped: ") + e.what());
            out.drop = true;
        }
        for (const std::string& line : out.log) logLine(peer_, line);
        if (out.drop) {
            drop();
            return;
        }
        if (!write(out.reply)) {
            logLine(peer_, "dropped: " + std::to_string(unsent()) + " bytes of replies not read by the client");
            drop();
        }
    }

    // Ends the connection at once. Not disconnectFromHost(): that waits
    // until the client has read what is queued, which such a client may
    // never do.
    void drop() {
        dropped_ = true;
        drip_.stop();
        dripping_.clear();
        socket_->abort();
        socket_->deleteLater();
    }

    // Queues the reply; false when the client has left more than maxUnsent
    // bytes unread.
    bool write(const std::string& reply) {
        if (reply.empty()) return true;
        if (!bytewise_) {
            socket_->write(reply.data(), static_cast<qint64>(reply.size()));
            // Hand the kernel what it takes now, so only what the client has
            // not made room for counts.
            socket_->flush();
            return unsent() <= maxUnsent_;
        }
        // One byte per write, a little apart, so the client sees every
        // message (and its delimiter) arrive in pieces.
        dripping_ += reply;
        if (!drip_.isActive()) drip_.start(2);
        return unsent() <= maxUnsent_;
    }

    std::size_t unsent() const { return static_cast<std::size_t>(socket_->bytesToWrite()) + dripping_.size(); }

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
    std::size_t maxUnsent_;
    bool bytewise_;
    bool dropped_ = false;
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
