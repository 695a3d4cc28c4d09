#pragma once
// One client's conversation with the reference account server, without the
// network: bytes in, replies and log lines out. Every input is accepted;
// nothing a client sends can make it throw.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "accounts.h"

namespace pelex::corvo_server {

struct ServerSettings {
    std::string sipServer = "127.0.0.1";
    std::string sipPort = "5060";
    /// Answer the first LOG of each connection with AUT (the client must
    /// sign in again).
    bool challengeFirstLogin = false;
    /// Framed messages written in the same piece as every ACC, before it.
    std::string beforeAccessReply;
    /// Most bytes a client may send without an end delimiter.
    std::size_t maxPending = 64 * 1024;
    /// Most reply bytes that may wait for a client to read them, and that
    /// one read may produce; a client that lets more pile up is dropped.
    std::size_t maxUnsent = 1024 * 1024;
};

class Session {
public:
    Session(const Accounts& accounts, const ServerSettings& settings) : accounts_(accounts), settings_(settings) {}

    struct Output {
        std::string reply;              ///< bytes to write back (may be empty)
        std::vector<std::string> log;   ///< one line per message handled
        bool drop = false;              ///< the client broke the bounds: close it
    };

    /// Takes received bytes, handles every complete message.
    Output receive(std::string_view bytes);

private:
    void handle(std::string_view message, Output& out);
    std::string handleLogin(const std::vector<std::string_view>& fields, std::string& logLine);
    std::string handleSipRequest(const std::vector<std::string_view>& fields, std::string& logLine);

    const Accounts& accounts_;
    const ServerSettings& settings_;
    std::string pending_;
    std::size_t scanned_ = 0;   // no delimiter starts before this in pending_
    std::string signedInUser_;  // empty until an ACC 0
    bool challenged_ = false;
};

/// Splits at "%20"; k separators give k + 1 fields.
std::vector<std::string_view> splitFields(std::string_view message);

/// A complete message: code, "%20", the fields joined by "%20", "{$}".
std::string frame(std::string_view code, const std::vector<std::string>& fields);

}  // namespace pelex::corvo_server
