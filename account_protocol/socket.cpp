#include "account_protocol/socket.h"

#include "account_protocol/text_bytes.h"

namespace pelex::account_protocol {

void Socket::SendData(const QString& text) {
    sendBytes(toAnsi(text));
}

QString Socket::PeekData() {
    return fromAnsi(peekBytes());
}

QString Socket::GetData(std::size_t maxLength) {
    return fromAnsi(takeBytes(maxLength));
}

}  // namespace pelex::account_protocol
