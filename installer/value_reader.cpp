#include "installer/value_reader.h"

#include <cstdio>

namespace pelex::installer {

RegistryValue interpret(const settings::Value& value) {
    RegistryValue out;
    out.name = value.name;
    out.type = value.type;
    if (value.data.size() > kMaxDataLength) {
        out.oversized = true;
        return out;
    }
    const std::string& data = value.data;
    switch (value.type) {
        case 3:
        case 8:
        case 9:
        case 10:
            if (!data.empty()) {
                std::string hex;
                char two[4];
                for (unsigned char b : data) {
                    std::snprintf(two, sizeof two, "%02X ", b);
                    hex += two;
                }
                out.hex = hex;
            }
            break;
        case 4: {
            std::uint32_t n = 0;
            for (std::size_t i = 0; i < 4 && i < data.size(); ++i) {
                n |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
            }
            out.number = static_cast<std::int32_t>(n);
            break;
        }
        case 1:
        case 2:
            if (!data.empty()) out.text = data.substr(0, data.size() - 1);
            break;
        case 7:
            if (data.size() >= 2) {
                out.text = data.substr(0, data.size() - 2);
                for (char& c : out.text) {
                    if (c == '\0') c = '\r';
                }
            }
            break;
        default:
            break;
    }
    return out;
}

std::vector<RegistryValue> readValues(settings::Store& store, settings::RootKey root, std::string_view subKey) {
    std::vector<settings::Value> values;
    std::vector<RegistryValue> out;
    if (store.listValues(root, subKey, values) != settings::Status::Ok) return out;
    for (const settings::Value& v : values) {
        if (v.name.empty() || v.name.size() > kMaxNameLength) continue;
        out.push_back(interpret(v));
    }
    return out;
}

}  // namespace pelex::installer
