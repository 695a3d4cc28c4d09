#include "session.h"

#include "crypto/credential_text.h"

namespace pelex::corvo_server {
namespace {

constexpr std::string_view kSeparator = "%20";
constexpr std::string_view kEnd = "{$}";

/// Without the filler spaces the cipher pads the last block with.
std::string trimFiller(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

/// A short, printable form of client text for the log.
std::string printable(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, 64)) {
        const auto u = static_cast<unsigned char>(c);
        out += (u >= 0x20 && u < 0x7f) ? c : '?';
    }
    if (text.size() > 64) out += "...";
    return out;
}

}  // namespace

std::vector<std::string_view> splitFields(std::string_view message) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t at = message.find(kSeparator);
        fields.push_back(message.substr(0, at));
        if (at == std::string_view::npos) return fields;
        message.remove_prefix(at + kSeparator.size());
    }
}

std::string frame(std::string_view code, const std::vector<std::string>& fields) {
    std::string out(code);
    out += kSeparator;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += kSeparator;
        out += fields[i];
    }
    out += kEnd;
    return out;
}

Session::Output Session::receive(std::string_view bytes) {
    Output out;
    pending_.append(bytes);
    std::size_t front = 0;
    std::size_t from = scanned_;  // a slow trickle is searched once, not per piece
    for (;;) {
        const std::size_t at = pending_.find(kEnd, from);
        if (at == std::string::npos) break;
        if (at - front > settings_.maxPending) {
            // A message may not outgrow the bound either: its delimiter can
            // arrive in the same read as the bytes that cross it.
            out.log.push_back("dropped: a message of " + std::to_string(at - front) + " bytes is over the limit");
            out.drop = true;
            pending_.clear();
            scanned_ = 0;
            return out;
        }
        handle(std::string_view(pending_).substr(front, at - front), out);
        front = from = at + kEnd.size();
        if (out.reply.size() > settings_.maxUnsent) {
            // Small requests with large answers: one read may not make more
            // reply than a client may leave unread.
            out.log.push_back("dropped: " + std::to_string(out.reply.size()) +
                              " bytes of replies to one read, more than a client may leave not read");
            out.drop = true;
            out.reply.clear();
            pending_.clear();
            scanned_ = 0;
            return out;
        }
    }
    pending_.erase(0, front);
    scanned_ = pending_.size() >= kEnd.size() ? pending_.size() - kEnd.size() + 1 : 0;
    if (pending_.size() > settings_.maxPending) {
        out.log.push_back("dropped: " + std::to_string(pending_.size()) + " bytes without an end delimiter");
        out.drop = true;
        pending_.clear();
        scanned_ = 0;
    }
    return out;
}

void Session::handle(std::string_view message, Output& out) {
    const std::vector<std::string_view> fields = splitFields(message);
    const std::string_view code = fields.front();
    std::string line(printable(code));
    if (code == "LOG") {
        out.reply += handleLogin(fields, line);
    } else if (code == "SIP") {
        out.reply += handleSipRequest(fields, line);
    } else if (code == "APP") {
        out.reply += frame("AUT", {});
        line += " -> AUT";
    } else if (message.empty()) {
        line = "(empty message) -> ignored";
    } else {
        line += " -> ignored";
    }
    out.log.push_back(std::move(line));
}

std::string Session::handleLogin(const std::vector<std::string_view>& fields, std::string& line) {
    if (fields.size() < 5) {
        line += " with " + std::to_string(fields.size() - 1) + " fields -> ACC -1";
        return settings_.beforeAccessReply + frame("ACC", {"-1"});
    }
    const std::string_view key = fields[4];
    const std::string user = trimFiller(crypto::DecryptText(fields[1], key));
    const std::string password = trimFiller(crypto::DecryptText(fields[2], key));
    line += " user=" + printable(user);
    if (settings_.challengeFirstLogin && !challenged_) {
        challenged_ = true;
        line += " -> AUT (sign in again)";
        return frame("AUT", {});
    }
    const auto it = accounts_.find(user);
    if (it == accounts_.end() || it->second.password != password) {
        signedInUser_.clear();
        line += it == accounts_.end() ? " (unknown) -> ACC -1" : " (wrong password) -> ACC -1";
        return settings_.beforeAccessReply + frame("ACC", {"-1"});
    }
    if (it->second.expired) {
        signedInUser_.clear();
        line += " (expired) -> ACC -2";
        return settings_.beforeAccessReply + frame("ACC", {"-2"});
    }
    signedInUser_ = user;
    line += " -> ACC 0";
    return settings_.beforeAccessReply +
           frame("ACC", {"0", user, crypto::EncryptText(it->second.sipPassword, key), settings_.sipServer});
}

std::string Session::handleSipRequest(const std::vector<std::string_view>& fields, std::string& line) {
    if (fields.size() < 3) {
        line += " with " + std::to_string(fields.size() - 1) + " fields -> SIPCODE (empty)";
        return frame("SIPCODE", {""});
    }
    const std::string_view key = fields[2];
    const std::string user = trimFiller(crypto::DecryptText(fields[1], key));
    line += " user=" + printable(user);
    const auto it = accounts_.find(user);
    if (signedInUser_.empty() || user != signedInUser_ || it == accounts_.end()) {
        line += " (not signed in) -> SIPCODE (empty)";
        return frame("SIPCODE", {""});
    }
    line += " -> SIPCODE";
    const std::string code =
        crypto::EncryptText(it->second.sipPassword, key) + "," + settings_.sipServer + "," + settings_.sipPort;
    return frame("SIPCODE", {code});
}

}  // namespace pelex::corvo_server
