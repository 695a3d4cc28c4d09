#include "account_protocol/receive_loop.h"

#include "account_protocol/text_bytes.h"

#include <algorithm>
#include <exception>
#include <string>

namespace pelex::account_protocol {

ArrivalOutcome ReceiveLoop::onDataArrival(Socket& socket, CorvoProtocol& cvp) {
    try {
        const std::string delimiter = toAnsi(cvp.strEndDeliminator());
        for (;;) {
            const std::string_view buffered = socket.peekBytes();
            if (buffered.empty()) return ArrivalOutcome::Handled;

            // Resume where the last search stopped if the front has not
            // moved since; back up so a delimiter split across arrivals is
            // found.
            std::size_t from = 0;
            if (socket.consumedCount() == scannedAtConsumed_) {
                from = std::min(scannedUpTo_, buffered.size());
            }
            const std::size_t at = buffered.find(delimiter, from);
            if (at == std::string_view::npos) {
                if (buffered.size() > limit_) {
                    socket.Close();
                    return ArrivalOutcome::Overflow;
                }
                scannedAtConsumed_ = socket.consumedCount();
                scannedUpTo_ = buffered.size() >= delimiter.size() ? buffered.size() - delimiter.size() + 1 : 0;
                return ArrivalOutcome::Handled;
            }
            if (at > limit_) {
                socket.Close();
                return ArrivalOutcome::Overflow;
            }
            // Out of the socket first, then dispatched: a nested pass started
            // from inside ProcessStringData never sees this message again.
            std::string message = socket.takeBytes(at + delimiter.size());
            message.resize(at);
            cvp.ProcessStringData(fromAnsi(message));
        }
    } catch (const std::exception&) {
        return ArrivalOutcome::StoppedAtFailure;
    }
}

void handOverConnection(Socket& socket, CorvoProtocol& cvp, const QString& userName, const QString& password,
                        const QString& decodeKey) {
    if (socket.State() != static_cast<int>(SocketState::Connected)) return;
    cvp.setTCPsock(&socket);
    cvp.setUserName(userName);
    cvp.setPassword(password);
    cvp.DecodeKey = decodeKey;
    cvp.SendUserNamePassword();
}

}  // namespace pelex::account_protocol
