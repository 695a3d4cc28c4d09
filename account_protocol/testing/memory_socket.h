#pragma once
// A socket for tests: no network. The test plays the server: it completes
// or refuses the connection, delivers bytes (raising DataArrival at once,
// so a delivery from inside an event handler is a nested arrival), closes
// from the far end, and reads what the client sent.

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

#include "account_protocol/receive_buffer.h"
#include "account_protocol/socket.h"

namespace pelex::account_protocol::testing {

class MemorySocket : public Socket {
public:
    void setEvents(SocketEvents* events) override { events_ = events; }
    void Connect(const QString& remoteHost, std::uint16_t remotePort) override;
    void Close() override;
    int State() const override { return static_cast<int>(state_); }
    QString LocalIP() const override;
    int LocalPort() const override;
    void sendBytes(std::string_view bytes) override;
    std::string_view peekBytes() override { return received_.view(); }
    std::string takeBytes(std::size_t count) override { return received_.take(count); }
    std::uint64_t consumedCount() const override { return received_.consumed(); }

    // The far end.

    /// Makes the socket connected without raising Connect.
    void setConnected();
    /// Makes the socket connected and raises Connect.
    void acceptConnection();
    /// Fails the pending connection and raises Error.
    void refuseConnection();
    /// Appends bytes to the received data and raises DataArrival.
    void deliver(std::string_view bytes);
    /// Appends bytes without raising anything.
    void deliverSilently(std::string_view bytes) { received_.append(bytes); }
    /// The far end closes: the socket becomes Closed (unread data stays) and
    /// raises Close.
    void closeFromRemote();

    /// Everything the client sent since the last takeSent().
    std::string takeSent();
    const std::string& sent() const { return sent_; }

    QString connectedHost;
    std::uint16_t connectedPort = 0;
    int closeCalls = 0;
    bool failSends = false;  ///< sendBytes() throws SocketFailure while set

private:
    SocketEvents* events_ = nullptr;
    SocketState state_ = SocketState::Closed;
    ReceiveBuffer received_;
    std::string sent_;
};

}  // namespace pelex::account_protocol::testing
