#pragma once
// The account-server socket over QTcpSocket. Events are raised from Qt's
// event loop on the thread that owns the object.

#include <QObject>
#include <QTcpSocket>

#include "account_protocol/receive_buffer.h"
#include "account_protocol/socket.h"

namespace pelex::account_protocol {

class QtTcpSocket : public QObject, public Socket {
public:
    explicit QtTcpSocket(QObject* parent = nullptr);
    ~QtTcpSocket() override;

    void setEvents(SocketEvents* events) override { events_ = events; }
    void Connect(const QString& remoteHost, std::uint16_t remotePort) override;
    void Close() override;
    int State() const override;
    QString LocalIP() const override;
    int LocalPort() const override;
    void sendBytes(std::string_view bytes) override;
    std::string_view peekBytes() override;
    std::string takeBytes(std::size_t count) override;
    std::uint64_t consumedCount() const override { return received_.consumed(); }

private:
    void pull();
    void onConnected();
    void onReadyRead();
    void onDisconnected();
    void reportRemoteClose();
    void onError(QAbstractSocket::SocketError error);

    QTcpSocket socket_;
    SocketEvents* events_ = nullptr;
    ReceiveBuffer received_;
    bool failed_ = false;   // the last connection ended in an error
    bool closing_ = false;  // inside Close(): no events for our own close
    bool closeReported_ = false;
};

}  // namespace pelex::account_protocol
