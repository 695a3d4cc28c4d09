#include "account_protocol/qt_tcp_socket.h"

#include <QHostAddress>

namespace pelex::account_protocol {

QtTcpSocket::QtTcpSocket(QObject* parent) : QObject(parent) {
    connect(&socket_, &QTcpSocket::connected, this, &QtTcpSocket::onConnected);
    connect(&socket_, &QTcpSocket::readyRead, this, &QtTcpSocket::onReadyRead);
    connect(&socket_, &QTcpSocket::disconnected, this, &QtTcpSocket::onDisconnected);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &QtTcpSocket::onError);
}

QtTcpSocket::~QtTcpSocket() {
    events_ = nullptr;
    closing_ = true;
    socket_.abort();
}

void QtTcpSocket::Connect(const QString& remoteHost, std::uint16_t remotePort) {
    Close();
    failed_ = false;
    closeReported_ = false;
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_.connectToHost(remoteHost, remotePort);
}

void QtTcpSocket::Close() {
    closing_ = true;
    if (socket_.state() == QAbstractSocket::ConnectedState) {
        socket_.flush();  // what the requests queued still goes out
    }
    socket_.abort();
    closing_ = false;
    received_.clear();
}

int QtTcpSocket::State() const {
    switch (socket_.state()) {
        case QAbstractSocket::UnconnectedState: return static_cast<int>(failed_ ? SocketState::Error : SocketState::Closed);
        case QAbstractSocket::HostLookupState: return static_cast<int>(SocketState::ResolvingHost);
        case QAbstractSocket::ConnectingState: return static_cast<int>(SocketState::Connecting);
        case QAbstractSocket::ConnectedState: return static_cast<int>(SocketState::Connected);
        case QAbstractSocket::BoundState: return static_cast<int>(SocketState::Open);
        case QAbstractSocket::ListeningState: return static_cast<int>(SocketState::Listening);
        case QAbstractSocket::ClosingState: return static_cast<int>(SocketState::Closing);
    }
    return static_cast<int>(SocketState::Error);
}

QString QtTcpSocket::LocalIP() const {
    return socket_.state() == QAbstractSocket::ConnectedState ? socket_.localAddress().toString() : QString();
}

int QtTcpSocket::LocalPort() const {
    return socket_.state() == QAbstractSocket::ConnectedState ? socket_.localPort() : 0;
}

void QtTcpSocket::sendBytes(std::string_view bytes) {
    if (socket_.state() != QAbstractSocket::ConnectedState) {
        throw SocketFailure("socket is not connected");
    }
    if (socket_.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        throw SocketFailure("send failed: " + socket_.errorString().toStdString());
    }
}

void QtTcpSocket::pull() {
    // readyRead is not raised again while its handler runs, so data that
    // arrives during a nested event loop is fetched here, on every peek.
    while (socket_.bytesAvailable() > 0) {
        const QByteArray chunk = socket_.readAll();
        if (chunk.isEmpty()) break;
        received_.append(std::string_view(chunk.constData(), static_cast<std::size_t>(chunk.size())));
    }
}

std::string_view QtTcpSocket::peekBytes() {
    pull();
    return received_.view();
}

std::string QtTcpSocket::takeBytes(std::size_t count) {
    pull();
    return received_.take(count);
}

void QtTcpSocket::onConnected() {
    if (events_) events_->Connect();
}

void QtTcpSocket::onReadyRead() {
    pull();
    if (events_ && received_.size() > 0) events_->DataArrival(received_.size());
}

void QtTcpSocket::onDisconnected() { reportRemoteClose(); }

void QtTcpSocket::reportRemoteClose() {
    if (closing_ || closeReported_) return;
    closeReported_ = true;
    // What arrived before the close is offered first.
    const std::size_t before = received_.size();
    pull();
    if (events_ && received_.size() > before) events_->DataArrival(received_.size());
    if (events_) events_->Close();
}

void QtTcpSocket::onError(QAbstractSocket::SocketError error) {
    if (closing_) return;
    // A close by the peer can come as this error alone (for example when a
    // write meets the closed connection): report it as a close, once.
    if (error == QAbstractSocket::RemoteHostClosedError) {
        reportRemoteClose();
        return;
    }
    failed_ = true;
    if (events_) events_->Error(static_cast<int>(error), socket_.errorString());
}

}  // namespace pelex::account_protocol
