#pragma once
// The few settings-store operations that registration and the host need:
// string values addressed by a registry path text ("HKEY_CLASSES_ROOT\CLSID\{...}")
// and a value name, where the empty name is the key's default value.

#include <optional>
#include <string>

namespace pelex::library {

class RegistrationStore {
public:
    virtual ~RegistrationStore() = default;
    /// Returns the string value, or nothing when the key or value is missing.
    virtual std::optional<std::string> read(const std::string& key_path, const std::string& name) = 0;
    /// Creates the key (and its parents) when needed and writes a string value.
    /// Returns false when the store could not be written.
    virtual bool write(const std::string& key_path, const std::string& name, const std::string& value) = 0;
    /// Deletes the key with its values and sub-keys. A missing key is success.
    /// Returns false when the store could not be written.
    virtual bool removeTree(const std::string& key_path) = 0;
};

}  // namespace pelex::library
