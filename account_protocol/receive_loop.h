#pragma once
// The two socket handlers' work, as code the control calls from them.
//
// ReceiveLoop::onDataArrival cuts the received bytes at the end delimiter
// and hands each message, in arrival order, to CorvoProtocol::
// ProcessStringData. Each message is taken out of the socket before it is
// dispatched, so a pass nested inside an event handler (one that runs the
// event loop) never sees a message twice. A failure while handling a
// message ends the batch; the complete messages behind it wait in the
// socket for the next arrival. The cost is linear in the bytes received.
//
// handOverConnection is the work of the connect handler.

#include <QString>

#include <cstddef>
#include <cstdint>

#include "account_protocol/corvo_protocol.h"
#include "account_protocol/socket.h"

namespace pelex::account_protocol {

/// How one data arrival ended.
enum class ArrivalOutcome {
    /// Every complete message was handled; an incomplete tail (if any)
    /// waits in the socket.
    Handled,
    /// Handling a message failed; the messages behind it wait in the socket.
    StoppedAtFailure,
    /// The server sent more than the limit without an end delimiter. The
    /// socket has been closed; the owner should tell the user and offer the
    /// sign-in again.
    Overflow,
};

class ReceiveLoop {
public:
    /// Most bytes one message may have before its end delimiter.
    static constexpr std::size_t kDefaultLimit = 64 * 1024;

    explicit ReceiveLoop(std::size_t limit = kDefaultLimit) : limit_(limit) {}

    /// Handles every complete message buffered in `socket`; see
    /// ArrivalOutcome. Never throws.
    ArrivalOutcome onDataArrival(Socket& socket, CorvoProtocol& cvp);

private:
    std::size_t limit_;
    // Where the last search for a delimiter stopped, valid while nothing
    // has been taken from the socket since (so a slowly arriving message
    // is searched once, not once per arrival).
    std::uint64_t scannedAtConsumed_ = ~std::uint64_t{0};
    std::size_t scannedUpTo_ = 0;
};

/// The connect handler's work: unless `socket` is connected, does nothing;
/// otherwise gives `cvp` the socket, the user name and password (as typed)
/// and the key text, and sends the sign-in request.
void handOverConnection(Socket& socket, CorvoProtocol& cvp, const QString& userName, const QString& password,
                        const QString& decodeKey);

}  // namespace pelex::account_protocol
