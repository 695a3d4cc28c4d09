#pragma once
// The registry module of the control: string values addressed by one path
// text "ROOT\sub\key" (for example
// "HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\VOIP\Option").
//
// Texts are wide here and become Windows-1252 bytes in the store. Failures
// are kept in status() and otherwise ignored; only ReadRegValue reports one,
// as the text "Error". A malformed path is shown to the user in a message box
// and then ignored.
//
// A text that Windows-1252 cannot hold (path, name or value) is never stored
// in some altered form: the operation does nothing and status() becomes
// Status::NoUnicodeTranslation.

#include <cstdint>
#include <string>

#include "platform/message_box.h"
#include "settings/root_keys.h"
#include "settings/status.h"
#include "settings/store.h"

namespace pelex::settings {

/// The most bytes ReadRegValue takes from a value, terminating zero included.
inline constexpr std::size_t kReadLimit = 255;

class Registry {
public:
    /// Both are used by reference and must outlive the Registry.
    Registry(Store& store, platform::MessageBox& messageBox);

    /// The handle of a root name, compared exactly; 0 when it is not a root.
    RootKey GetRootKey(const std::u16string& rootName) const;

    /// Splits `path` into its root and sub-key path. A path that does not
    /// begin with "HKEY_" or that ends with "\" is shown as "Incorrect
    /// Format:" (title "PelexMSN") and gives root 0 with `path` unchanged.
    /// Otherwise `root` is the root of the text before the first "\" (0 when
    /// it names no root) and `path` becomes the text after it (empty when
    /// there is no "\": the root itself).
    void ParseKeyPath(std::u16string& path, RootKey& root);

    /// The value's text, or "Error" when the key or value cannot be read or
    /// the value holds 255 bytes or more, or empty text when the path names
    /// no root. The text is what the value holds with leading and trailing
    /// spaces removed and then its last character (the terminating zero)
    /// dropped, so a text written by SetRegValue reads back unchanged unless
    /// it begins with spaces.
    std::u16string ReadRegValue(std::u16string path, const std::u16string& valueName);

    /// Creates the key (and missing parents); nothing when the path names no root.
    void CreateRegKey(std::u16string path);

    /// Writes `value` with its terminating zero as a string value (type 1)
    /// into an existing key; nothing when the key is absent (status NotFound)
    /// or the path names no root.
    void SetRegValue(std::u16string path, const std::u16string& valueName, const std::u16string& value);

    /// The root of the last path parsed.
    RootKey lastRoot() const noexcept { return root_; }
    /// The sub-key path of the key last opened (Windows-1252 bytes).
    const std::string& lastKey() const noexcept { return key_; }
    /// The outcome of the last store call (0 = success).
    std::int32_t status() const noexcept { return status_; }

private:
    // Opens (finds) the key under the last parsed root; false, with the
    // status set, when it cannot be opened.
    bool openKey(const std::string& subKey);
    // The Windows-1252 form of `text`; false, with the status set, when it
    // has none.
    bool toAnsi(const std::u16string& text, std::string& out);

    Store& store_;
    platform::MessageBox& messageBox_;
    RootKey root_ = 0;
    std::string key_;
    std::int32_t status_ = 0;
};

}  // namespace pelex::settings
