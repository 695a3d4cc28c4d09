#pragma once
// The control's settings on the real store, through the Registry module.

#include <memory>

#include "control/settings_store.h"
#include "platform/message_box.h"
#include "settings/registry.h"
#include "settings/store.h"

namespace pelex::control {

class RegistrySettingsStore : public SettingsStore {
public:
    /// Keeps `store` open for its whole life; malformed paths are reported
    /// through `messageBox`.
    RegistrySettingsStore(settings::Store store, std::shared_ptr<platform::MessageBox> messageBox);

    std::u16string ReadRegValue(const std::u16string& path, const std::u16string& name) override;
    void CreateRegKey(const std::u16string& path) override;
    void SetRegValue(const std::u16string& path, const std::u16string& name, const std::u16string& value) override;

private:
    std::shared_ptr<platform::MessageBox> messageBox_;
    settings::Store store_;
    settings::Registry registry_;
};

}  // namespace pelex::control
