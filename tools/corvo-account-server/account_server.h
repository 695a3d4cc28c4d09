#pragma once
// The reference account server on the network: accepts any number of
// clients, runs one Session per connection and logs one line per message.

#include <QHostAddress>
#include <QTcpServer>

#include <memory>

#include "accounts.h"
#include "session.h"

namespace pelex::corvo_server {

class AccountServer : public QObject {
public:
    AccountServer(Accounts accounts, ServerSettings settings, bool bytewise);

    /// Starts listening; returns false (with errorString()) on failure.
    bool listen(const QHostAddress& address, quint16 port);
    QString errorString() const { return server_.errorString(); }
    QHostAddress address() const { return server_.serverAddress(); }
    quint16 port() const { return server_.serverPort(); }

private:
    void accept();

    Accounts accounts_;
    ServerSettings settings_;
    bool bytewise_;
    QTcpServer server_;
};

}  // namespace pelex::corvo_server
