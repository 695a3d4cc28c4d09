#include "control/registry_settings_store.h"

namespace pelex::control {

RegistrySettingsStore::RegistrySettingsStore(settings::Store store, std::shared_ptr<platform::MessageBox> messageBox)
    : messageBox_(std::move(messageBox)), store_(std::move(store)), registry_(store_, *messageBox_) {}

std::u16string RegistrySettingsStore::ReadRegValue(const std::u16string& path, const std::u16string& name) {
    return registry_.ReadRegValue(path, name);
}

void RegistrySettingsStore::CreateRegKey(const std::u16string& path) { registry_.CreateRegKey(path); }

void RegistrySettingsStore::SetRegValue(const std::u16string& path, const std::u16string& name,
                                        const std::u16string& value) {
    registry_.SetRegValue(path, name, value);
}

}  // namespace pelex::control
