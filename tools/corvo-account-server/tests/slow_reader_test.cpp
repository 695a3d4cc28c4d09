// The reference server against a client that sends requests and never reads
// the replies, over loopback, with the real server program.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>

#include "account_protocol/tests/server_process.h"
#include "crypto/credential_text.h"

namespace {

using pelex::account_protocol::testing::ServerProcess;
using pelex::account_protocol::testing::waitFor;

const std::string kAccounts = R"({"1000": {"password": "secret", "sip_password": "s1p"}})";
const std::string kKey = "12/8/2026 4:45:00 PM";

// Resident memory of a process in KiB (0 when it cannot be read).
long residentKib(qint64 pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

// A loopback TCP connection made with plain system calls, so the receive
// buffer can be shrunk before the connection exists.
class RawClient {
public:
    RawClient(quint16 port, int receiveBuffer) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (receiveBuffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
        ::fcntl(fd_, F_SETFL, O_NONBLOCK);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;
    ~RawClient() { ::close(fd_); }

    bool connected() const { return connected_; }

    /// Sends what the socket takes now; false once the peer has gone.
    bool sendSome(std::string& bytes) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) bytes.erase(0, static_cast<std::size_t>(n));
        return n >= 0 || errno == EAGAIN || errno == EWOULDBLOCK;
    }
    /// Whatever has arrived; false once the peer has gone.
    bool receiveSome(std::string& into) {
        char buffer[4096];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) into.append(buffer, static_cast<std::size_t>(n));
        return n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

}  // namespace

TEST(SlowReader, AClientThatNeverReadsIsDroppedAndTheServerServesOthers) {
    // Each request without fields is answered with ACC -1 behind a 4 KiB
    // message, so the replies pile up fast.
    const QString padding = QStringLiteral("ADV%20") + QString(4096, u'x') + QStringLiteral("{$}");
    ServerProcess server(kAccounts, {QStringLiteral("--before-acc"), padding});
    ASSERT_NE(server.port(), 0) << server.output().toStdString();
    const long before = residentKib(server.processId());
    ASSERT_GT(before, 0);

    RawClient greedy(server.port(), 4096);
    ASSERT_TRUE(greedy.connected());
    // Sixteen requests at a time (64 KiB of replies), each batch answered
    // before the next goes out, until the server lets go or 96 MiB of
    // replies are owed.
    constexpr int kBatch = 16;
    constexpr long kRequests = 96L * 1024 * 1024 / 4096;
    const QString answered = QStringLiteral("LOG with 0 fields");
    long sent = 0;
    long seen = 0;
    qsizetype scanned = 0;
    long peak = before;
    auto dropped = [&] { return server.output().contains(QStringLiteral("dropped")); };
    while (!dropped() && sent < kRequests) {
        std::string batch;
        for (int i = 0; i < kBatch; ++i) batch += "LOG{$}";
        sent += kBatch;
        bool open = true;
        while (open && !batch.empty()) {
            open = greedy.sendSome(batch);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        if (!open) break;  // the server closed the connection
        // The server logs one line per request; its log goes through a pipe
        // that only the test's event loop drains.
        waitFor([&] {
            const QString out = server.output();
            for (qsizetype at; (at = out.indexOf(answered, scanned)) >= 0; scanned = at + answered.size()) ++seen;
            return seen >= sent || dropped();
        });
        peak = std::max(peak, residentKib(server.processId()));
    }
    EXPECT_TRUE(waitFor(dropped, 10000)) << "sent " << sent << " requests; the server's memory went from " << before
                                         << " to " << peak << " KiB";
    peak = std::max(peak, residentKib(server.processId()));
    std::printf("server_rss_growth %ld KiB after %ld requests\n", peak - before, sent);
    RecordProperty("server_rss_growth_kib", static_cast<int>(peak - before));
    // A queue bounded at 1 MiB plus what the kernel buffers (about 1 MiB
    // more in a plain build, some 20 MiB with the sanitizers' bookkeeping);
    // without a bound the server would hold the 96 MiB owed.
    EXPECT_LT(peak - before, 32 * 1024) << "KiB";
    EXPECT_TRUE(server.output().contains(QStringLiteral("bytes of replies not read by the client")))
        << server.output().right(400).toStdString();

    // The greedy client's connection is closed by the server...
    std::string ignored;
    EXPECT_TRUE(waitFor(
        [&] {
            std::string more = "LOG{$}";
            return !greedy.sendSome(more);
        },
        10000));

    // ... and another client still signs in.
    RawClient polite(server.port(), 0);
    ASSERT_TRUE(polite.connected());
    std::string login = "LOG%20" + pelex::crypto::EncryptText("1000", kKey) + "%20" +
                        pelex::crypto::EncryptText("secret", kKey) + "%20%20" + kKey + "{$}";
    std::string reply;
    ASSERT_TRUE(waitFor([&] {
        polite.sendSome(login);
        polite.receiveSome(reply);
        return reply.find("ACC%200%20") != std::string::npos;
    })) << reply.substr(0, 200) << "\nserver: " << server.output().right(400).toStdString();
}
