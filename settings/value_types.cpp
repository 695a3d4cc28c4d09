#include "settings/value_types.h"

namespace pelex::settings {

std::string_view valueTypeName(ValueType type) noexcept {
    switch (type) {
        case 0: return "REG_NONE";
        case kString: return "REG_SZ";
        case kExpandString: return "REG_EXPAND_SZ";
        case kBinary: return "REG_BINARY";
        case kDword: return "REG_DWORD";
        case 5: return "REG_DWORD_BIG_ENDIAN";
        case 6: return "REG_LINK";
        case kMultiString: return "REG_MULTI_SZ";
        case 8: return "REG_RESOURCE_LIST";
        case 9: return "REG_FULL_RESOURCE_DESCRIPTOR";
        case 10: return "REG_RESOURCE_REQUIREMENTS_LIST";
        case 11: return "REG_QWORD";
        default: return {};
    }
}

}  // namespace pelex::settings
