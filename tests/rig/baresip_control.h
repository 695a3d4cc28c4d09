#pragma once
// A client of the rig peer's ctrl_tcp control port (JSON in netstrings). The
// peer serves one client at a time and sends its events only to it, so a test
// keeps one connection open and collects the events as they arrive.

#include <QJsonObject>

#include <string>
#include <vector>

namespace pelex::testing {

class BaresipControl {
public:
    /// Connects to 127.0.0.1:`port`. Throws std::runtime_error on failure.
    explicit BaresipControl(int port);
    ~BaresipControl();
    BaresipControl(const BaresipControl&) = delete;
    BaresipControl& operator=(const BaresipControl&) = delete;

    /// Sends a command such as ("dial", "sip:1000@127.0.0.1:5070") or ("hangup", "").
    void send(const std::string& command, const std::string& params = {});
    /// Reads what has arrived, without waiting.
    void poll();
    /// The connection's descriptor (readable when events have arrived).
    int fd() const { return fd_; }
    /// Every event received so far (objects with "type", "param", "accountaor", ...).
    const std::vector<QJsonObject>& events() const { return events_; }
    /// Forgets the events received so far.
    void clear() { events_.clear(); }
    /// The first event of `type` (and for account `aor`, when given), or an empty object.
    QJsonObject find(const std::string& type, const std::string& aor = {}) const;
    /// True once an event of `type` (for `aor`, when given) arrived.
    bool has(const std::string& type, const std::string& aor = {}) const { return !find(type, aor).isEmpty(); }

private:
    int fd_ = -1;
    std::string buffer_;
    std::vector<QJsonObject> events_;
};

}  // namespace pelex::testing
