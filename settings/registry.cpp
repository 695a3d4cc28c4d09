#include "settings/registry.h"

#include "codepage/codepage.h"

namespace pelex::settings {
namespace {

constexpr char16_t kSeparator = u'\\';

}  // namespace

Registry::Registry(Store& store, platform::MessageBox& messageBox) : store_(store), messageBox_(messageBox) {}

RootKey Registry::GetRootKey(const std::u16string& rootName) const { return rootKeyOf(rootName); }

void Registry::ParseKeyPath(std::u16string& path, RootKey& root) {
    if (!path.starts_with(u"HKEY_") || path.ends_with(kSeparator)) {
        messageBox_.show(u"Incorrect Format:\n\n" + path, u"PelexMSN", platform::MessageIcon::None);
        root = 0;
        return;
    }
    const auto slash = path.find(kSeparator);
    if (slash == std::u16string::npos) {
        root = GetRootKey(path);
        path.clear();
    } else {
        root = GetRootKey(path.substr(0, slash));
        path.erase(0, slash + 1);
    }
}

bool Registry::toAnsi(const std::u16string& text, std::string& out) {
    if (!codepage::isRepresentable(text)) {
        status_ = code(Status::NoUnicodeTranslation);
        return false;
    }
    out = codepage::toAnsi(text);
    return true;
}

bool Registry::openKey(const std::string& subKey) {
    key_ = subKey;
    status_ = code(store_.findKey(root_, subKey));
    return status_ == 0;
}

std::u16string Registry::ReadRegValue(std::u16string path, const std::u16string& valueName) {
    ParseKeyPath(path, root_);
    if (root_ == 0) return {};
    std::string subKey;
    std::string name;
    if (!toAnsi(path, subKey) || !toAnsi(valueName, name) || !openKey(subKey)) return u"Error";
    Value value;
    status_ = code(store_.getValue(root_, subKey, name, value));
    if (status_ != 0) return u"Error";
    if (value.data.size() > kReadLimit) {
        status_ = code(Status::MoreData);
        return u"Error";
    }
    // The value as it lands in a buffer of spaces: trimmed of spaces on both
    // sides, then without its last character (the terminating zero).
    std::string text = value.data;
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};  // only spaces: nothing to drop
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    text.pop_back();
    return codepage::fromAnsi(text);
}

void Registry::CreateRegKey(std::u16string path) {
    ParseKeyPath(path, root_);
    if (root_ == 0) return;
    std::string subKey;
    if (!toAnsi(path, subKey)) return;
    key_ = subKey;
    status_ = code(store_.createKey(root_, subKey));
}

void Registry::SetRegValue(std::u16string path, const std::u16string& valueName, const std::u16string& value) {
    ParseKeyPath(path, root_);
    if (root_ == 0) return;
    std::string subKey;
    std::string name;
    std::string data;
    if (!toAnsi(path, subKey) || !toAnsi(valueName, name) || !toAnsi(value, data) || !openKey(subKey)) return;
    data.push_back('\0');
    status_ = code(store_.setValue(root_, subKey, {name, kString, data}));
}

}  // namespace pelex::settings
