#pragma once
// Runs the reference account server for a test on an ephemeral loopback
// port, with an accounts file of its own; stops it when destroyed.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <string>

namespace pelex::account_protocol::testing {

/// Makes sure a QCoreApplication exists (sockets need its event loop).
inline void ensureCoreApplication() {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);  // lives to process end
}

/// Runs Qt's event loop until `done()` or `ms` milliseconds; returns done().
template <class Pred>
bool waitFor(Pred done, int ms = 15000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return done();
}

class ServerProcess {
public:
    /// Starts the server with `accountsJson` and extra arguments; `port()`
    /// is 0 when it did not come up (see `output()`).
    ServerProcess(const std::string& accountsJson, const QStringList& extra) {
        ensureCoreApplication();
        const QString accounts = dir_.filePath(QStringLiteral("accounts.json"));
        QFile file(accounts);
        if (file.open(QIODevice::WriteOnly)) file.write(QByteArray::fromStdString(accountsJson));
        file.close();
        process_.setProgram(QStringLiteral(CORVO_SERVER_PATH));
        process_.setArguments(QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                          QStringLiteral("--accounts"), accounts} + extra);
        process_.start();
        waitFor([&] {
            output_ += QString::fromUtf8(process_.readAllStandardOutput());
            return output_.contains(u'\n') || process_.state() == QProcess::NotRunning;
        });
        const qsizetype at = output_.indexOf(QStringLiteral("listening on 127.0.0.1:"));
        if (at >= 0) port_ = static_cast<quint16>(output_.mid(at + 23).section(u'\n', 0, 0).toUInt());
    }

    ~ServerProcess() {
        process_.kill();
        process_.waitForFinished(3000);
    }

    quint16 port() const { return port_; }
    /// The server's process id (0 when it is not running).
    qint64 processId() const { return process_.processId(); }

    /// Everything the server printed so far.
    QString output() {
        output_ += QString::fromUtf8(process_.readAllStandardOutput());
        return output_;
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
    QString output_;
    quint16 port_ = 0;
};

}  // namespace pelex::account_protocol::testing
