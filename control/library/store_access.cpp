#include "control/library/store_access.h"

#include "settings/store_location.h"

namespace pelex::library {

namespace {

using settings::Status;

// Splits "ROOT\sub\key" into the root handle and the sub-key; root 0 when the
// text names no root.
std::pair<settings::RootKey, std::string> split(const std::string& path) {
    const auto slash = path.find('\\');
    const std::string root = path.substr(0, slash);
    return {settings::rootKeyOf(std::string_view(root)), slash == std::string::npos ? "" : path.substr(slash + 1)};
}

class StoreView : public RegistrationStore {
public:
    explicit StoreView(settings::Store& store) : store_(store) {}

    std::optional<std::string> read(const std::string& key_path, const std::string& name) override {
        const auto [root, sub] = split(key_path);
        settings::Value v;
        if (root == 0 || store_.getValue(root, sub, name, v) != Status::Ok) return std::nullopt;
        if (v.type != settings::kString && v.type != settings::kExpandString) return std::nullopt;
        if (!v.data.empty() && v.data.back() == '\0') v.data.pop_back();
        return v.data;
    }

    bool write(const std::string& key_path, const std::string& name, const std::string& value) override {
        const auto [root, sub] = split(key_path);
        if (root == 0 || store_.createKey(root, sub) != Status::Ok) return false;
        return store_.setValue(root, sub, settings::Value{name, settings::kString, value + '\0'}) == Status::Ok;
    }

    bool removeTree(const std::string& key_path) override {
        const auto [root, sub] = split(key_path);
        if (root == 0 || sub.empty()) return false;
        const Status s = store_.deleteKey(root, sub);
        return s == Status::Ok || s == Status::NotFound;
    }

private:
    settings::Store& store_;
};

// Owns the user's store and views it.
class OwnedStoreView : public StoreView {
public:
    explicit OwnedStoreView(std::unique_ptr<settings::Store> store) : StoreView(*store), store_(std::move(store)) {}

private:
    std::unique_ptr<settings::Store> store_;
};

}  // namespace

std::unique_ptr<RegistrationStore> openSettingsStore() {
    return std::make_unique<OwnedStoreView>(std::make_unique<settings::Store>(settings::openUserStore()));
}

std::unique_ptr<RegistrationStore> viewOf(settings::Store& store) { return std::make_unique<StoreView>(store); }

}  // namespace pelex::library
