#include "account_protocol/testing/memory_socket.h"

namespace pelex::account_protocol::testing {

void MemorySocket::Connect(const QString& remoteHost, std::uint16_t remotePort) {
    connectedHost = remoteHost;
    connectedPort = remotePort;
    received_.clear();
    state_ = SocketState::Connecting;
}

void MemorySocket::Close() {
    ++closeCalls;
    received_.clear();
    state_ = SocketState::Closed;
}

QString MemorySocket::LocalIP() const {
    return state_ == SocketState::Connected ? QStringLiteral("127.0.0.1") : QString();
}

int MemorySocket::LocalPort() const { return state_ == SocketState::Connected ? 40000 : 0; }

void MemorySocket::sendBytes(std::string_view bytes) {
    if (state_ != SocketState::Connected) {
        throw SocketFailure("socket is not connected");
    }
    if (failSends) {
        throw SocketFailure("send failed");
    }
    sent_.append(bytes);
}

void MemorySocket::setConnected() { state_ = SocketState::Connected; }

void MemorySocket::acceptConnection() {
    state_ = SocketState::Connected;
    if (events_) events_->Connect();
}

void MemorySocket::refuseConnection() {
    state_ = SocketState::Error;
    if (events_) events_->Error(10061, QStringLiteral("Connection refused"));
}

void MemorySocket::deliver(std::string_view bytes) {
    received_.append(bytes);
    if (events_) events_->DataArrival(received_.size());
}

void MemorySocket::closeFromRemote() {
    state_ = SocketState::Closed;
    if (events_) events_->Close();
}

std::string MemorySocket::takeSent() {
    std::string out;
    out.swap(sent_);
    return out;
}

}  // namespace pelex::account_protocol::testing
