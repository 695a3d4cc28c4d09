#pragma once
// The account-server connection: a TCP client socket with the operations the
// protocol and the control's two socket handlers rely on.
//
// Received bytes stay in the socket until taken out with GetData()/take():
// the receive loop peeks, finds a complete message, takes exactly that
// message out and only then dispatches it. Text crosses this interface as
// Windows-1252, one byte per character.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pelex::account_protocol {

/// Socket states, numbered as the callers test them (7 = connected).
enum class SocketState : int {
    Closed = 0,
    Open = 1,
    Listening = 2,
    ConnectionPending = 3,
    ResolvingHost = 4,
    HostResolved = 5,
    Connecting = 6,
    Connected = 7,
    Closing = 8,
    Error = 9,
};

/// Thrown by an operation the socket cannot do in its current state (for
/// example SendData() while not connected).
class SocketFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The owner's handlers for the socket's events. All run on the socket's
/// thread; every default does nothing.
class SocketEvents {
public:
    virtual ~SocketEvents() = default;
    /// The outgoing connection is up (State() is Connected).
    virtual void Connect() {}
    /// New bytes were received; `bytesTotal` is what is buffered now.
    virtual void DataArrival(std::size_t bytesTotal) { (void)bytesTotal; }
    /// The peer closed the connection. Data that arrived before the close
    /// was announced through DataArrival first and stays readable until
    /// Close() or Connect(); State() is Closed.
    virtual void Close() {}
    /// The connection failed or broke (refused, unreachable, reset...); the
    /// socket is in the Error state until Close() or Connect().
    virtual void Error(int number, const QString& description) { (void)number; (void)description; }
};

class Socket {
public:
    virtual ~Socket() = default;

    /// Where the events go; nullptr for none. The socket does not own it.
    virtual void setEvents(SocketEvents* events) = 0;

    /// Starts an outgoing connection; Connect() on the events follows when
    /// it is up, or Error() when it cannot be made.
    virtual void Connect(const QString& remoteHost, std::uint16_t remotePort) = 0;
    /// Ends the connection (if any) and drops everything unread. Never fails.
    virtual void Close() = 0;
    /// The current state as its number (7 = connected).
    virtual int State() const = 0;
    /// The local address of the connection as dotted text ("" when none).
    virtual QString LocalIP() const = 0;
    /// The local port of the connection (0 when none).
    virtual int LocalPort() const = 0;

    /// Queues `text` as Windows-1252 bytes. Throws SocketFailure when not
    /// connected and codepage::UnrepresentableText for a character that
    /// has no byte (nothing is sent then).
    void SendData(const QString& text);
    /// All received, unread data as text; removes nothing.
    QString PeekData();
    /// Removes and returns at most `maxLength` characters from the front of
    /// the received data.
    QString GetData(std::size_t maxLength);

    // Byte-level access, used by the receive loop to stay linear.

    /// Sends raw bytes. Throws SocketFailure when not connected.
    virtual void sendBytes(std::string_view bytes) = 0;
    /// All received, unread bytes, without copying. The view is valid until
    /// the next call on the socket or the next return to the event loop.
    virtual std::string_view peekBytes() = 0;
    /// Removes and returns at most `count` bytes from the front of the
    /// received data.
    virtual std::string takeBytes(std::size_t count) = 0;
    /// How many received bytes have been taken out (or dropped by Close())
    /// since the socket was made. It changes exactly when the front of the
    /// received data moves, so a caller can tell whether what it peeked
    /// before is still at the front.
    virtual std::uint64_t consumedCount() const = 0;
};

}  // namespace pelex::account_protocol
