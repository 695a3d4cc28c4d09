#pragma once
// A settings store for the control's tests: keys and values in memory, with
// the log of every write in order.

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "control/settings_store.h"

namespace pelex::control::testing {

class MemorySettingsStore : public SettingsStore {
public:
    std::u16string ReadRegValue(const std::u16string& path, const std::u16string& name) override {
        const auto it = values.find({path, name});
        return it == values.end() ? u"Error" : it->second;
    }
    void CreateRegKey(const std::u16string& path) override { keys.insert(path); }
    void SetRegValue(const std::u16string& path, const std::u16string& name, const std::u16string& value) override {
        if (!keys.count(path)) return;  // values live only in existing keys
        values[{path, name}] = value;
        writes.push_back(name);
    }

    /// Puts a value in place as if an earlier run had written it.
    void preset(const std::u16string& path, const std::u16string& name, const std::u16string& value) {
        keys.insert(path);
        values[{path, name}] = value;
    }

    std::set<std::u16string> keys;
    std::map<std::pair<std::u16string, std::u16string>, std::u16string> values;
    std::vector<std::u16string> writes;  ///< value names in the order written
};

}  // namespace pelex::control::testing
