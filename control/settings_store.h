#pragma once
// The control's access to the settings store: the three operations of the
// Registry module it uses, on path texts such as
// "HKEY_LOCAL_MACHINE\SOFTWARE\...\VOIP\Option".

#include <string>

namespace pelex::control {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    /// Returns the value's text, or "Error" when it cannot be read.
    virtual std::u16string ReadRegValue(const std::u16string& path, const std::u16string& name) = 0;
    /// Creates the key (and the keys above it) if it does not exist.
    virtual void CreateRegKey(const std::u16string& path) = 0;
    /// Writes a string value into an existing key.
    virtual void SetRegValue(const std::u16string& path, const std::u16string& name,
                             const std::u16string& value) = 0;
};

}  // namespace pelex::control
