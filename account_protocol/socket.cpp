#include "account_protocol/socket.h"

#include "codepage/codepage.h"

namespace pelex::account_protocol {

void Socket::SendData(const QString& text) {
    sendBytes(codepage::toAnsi(text.toStdU16String()));
}

QString Socket::PeekData() {
    return QString::fromStdU16String(codepage::fromAnsi(peekBytes()));
}

QString Socket::GetData(std::size_t maxLength) {
    return QString::fromStdU16String(codepage::fromAnsi(takeBytes(maxLength)));
}

}  // namespace pelex::account_protocol
