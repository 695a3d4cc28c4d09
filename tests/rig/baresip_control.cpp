#include "tests/rig/baresip_control.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonDocument>
#include <stdexcept>

namespace pelex::testing {

BaresipControl::BaresipControl(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0) throw std::runtime_error("no socket");
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && errno != EINPROGRESS) {
        ::close(fd_);
        throw std::runtime_error("cannot reach the peer's control port");
    }
}

BaresipControl::~BaresipControl() {
    if (fd_ >= 0) ::close(fd_);
}

void BaresipControl::send(const std::string& command, const std::string& params) {
    QJsonObject request{{"command", QString::fromStdString(command)},
                        {"params", QString::fromStdString(params)},
                        {"token", "pelex"}};
    const auto body = QJsonDocument(request).toJson(QJsonDocument::Compact).toStdString();
    const auto frame = std::to_string(body.size()) + ":" + body + ",";
    std::size_t sent = 0;
    for (int tries = 0; sent < frame.size() && tries < 1000; ++tries) {
        const auto n = ::send(fd_, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (n > 0) sent += static_cast<std::size_t>(n);
        else ::usleep(1000);
    }
    if (sent < frame.size()) throw std::runtime_error("cannot send to the peer's control port");
}

void BaresipControl::poll() {
    char chunk[4096];
    for (ssize_t n; (n = ::recv(fd_, chunk, sizeof chunk, 0)) > 0;) buffer_.append(chunk, static_cast<std::size_t>(n));
    for (;;) {
        const auto colon = buffer_.find(':');
        if (colon == std::string::npos) return;
        const auto length = std::stoul(buffer_.substr(0, colon));
        if (buffer_.size() < colon + 1 + length + 1) return;
        const auto body = buffer_.substr(colon + 1, length);
        buffer_.erase(0, colon + 1 + length + 1);
        const auto message = QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
        if (message.value("event").toBool()) events_.push_back(message);
    }
}

QJsonObject BaresipControl::find(const std::string& type, const std::string& aor) const {
    for (const auto& event : events_) {
        if (event.value("type").toString().toStdString() != type) continue;
        if (!aor.empty() && event.value("accountaor").toString().toStdString().find(aor) == std::string::npos)
            continue;
        return event;
    }
    return {};
}

}  // namespace pelex::testing
