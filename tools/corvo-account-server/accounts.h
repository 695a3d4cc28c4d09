#pragma once
// The accounts the reference server knows, read from a JSON file:
//   {"1000": {"password": "...", "sip_password": "...", "expired": false}}
// Names and passwords are kept as the Windows-1252 bytes the client sends.

#include <map>
#include <stdexcept>
#include <string>

namespace pelex::corvo_server {

struct Account {
    std::string password;     ///< Windows-1252
    std::string sipPassword;  ///< Windows-1252
    bool expired = false;
};

/// User name (Windows-1252) to account.
using Accounts = std::map<std::string, Account>;

/// The file cannot be read, is not the expected JSON, or holds text that
/// Windows-1252 cannot carry.
class AccountsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Reads the accounts file; throws AccountsError with a message that names
/// the file and the offending entry.
Accounts loadAccounts(const std::string& path);

/// Parses accounts from JSON text (UTF-8); throws AccountsError.
Accounts parseAccounts(const std::string& json);

}  // namespace pelex::corvo_server
