// pelexreg: reads and writes the phone's settings store from a terminal.
// Arguments and output are UTF-8; the store holds Windows-1252 text.

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "codepage/codepage.h"
#include "codepage/escape.h"
#include "platform/message_box.h"
#include "settings/registry.h"
#include "settings/store_location.h"
#include "codepage/utf8.h"

namespace {

using namespace pelex::settings;

constexpr int kFailed = 1;
constexpr int kBadUse = 2;

constexpr const char* kUsage =
    "Usage:\n"
    "  pelexreg get PATH NAME [--raw]         print the value as the phone reads it (\"Error\" when unreadable)\n"
    "  pelexreg set PATH NAME VALUE [--type TYPE]\n"
    "                                         create the key if needed and write the value\n"
    "  pelexreg list PATH [--raw]             print the key's values in their order, with their types\n"
    "  pelexreg delete PATH [NAME]            delete one value, or the key with everything under it\n"
    "  pelexreg --help\n"
    "\n"
    "PATH is ROOT\\sub\\key, ROOT one of HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,\n"
    "HKEY_USERS, HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA. Names are case-sensitive.\n"
    "TYPE: string (default; the text and a terminating zero), expand (the same, type 2),\n"
    "      binary (VALUE in hex digits, e.g. 0a1bff), dword (decimal or 0x hex, 32 bits),\n"
    "      multi (texts separated by the two characters \\0), or a type number 0..4294967295\n"
    "      (VALUE in hex digits, written exactly as given).\n"
    "get and list show names and texts with control characters escaped, as \\x and two hex digits\n"
    "(ESC as \\x1b, a line break as \\x0a), and a backslash as \\\\, so a stored value cannot act on\n"
    "the terminal; in a multi-string \\0 separates the texts. --raw prints them as they are.\n"
    "The store is $PELEX_REGISTRY, or $XDG_CONFIG_HOME/pelex/registry.sqlite.\n"
    "Exit status: 0 done, 1 the operation failed (e.g. no such key or value), 2 bad use.\n";

// Shows the registry module's message boxes on standard error.
class StderrMessageBox : public pelex::platform::MessageBox {
public:
    void show(const std::u16string& text, const std::u16string& title, pelex::platform::MessageIcon) override {
        std::cerr << pelex::codepage::toUtf8(title) << ": " << pelex::codepage::toUtf8(text) << '\n';
        shown = true;
    }
    bool shown = false;
};

int badUse(const std::string& why) {
    std::cerr << "pelexreg: " << why << "\n(pelexreg --help shows the usage)\n";
    return kBadUse;
}

int failed(const std::string& why) {
    std::cerr << "pelexreg: " << why << '\n';
    return kFailed;
}

std::string statusText(Status s) {
    switch (s) {
        case Status::Ok: return "done";
        case Status::NotFound: return "no such key or value";
        case Status::AccessDenied: return "a root key cannot be deleted";
        case Status::BadPathname: return "the key path has an empty part (two \\ in a row, or a leading \\)";
        case Status::StoreFailed: return "the settings store could not be read or written";
        default: return "failed with status " + std::to_string(code(s));
    }
}

std::optional<std::string> parseHex(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == ':') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        digits.push_back(c);
    }
    if (digits.size() % 2 != 0) return std::nullopt;
    std::string bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::optional<std::uint32_t> parseNumber(const std::string& text) {
    if (text.empty() || text.front() == '-' || text.front() == '+' || text.front() == ' ') return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<std::uint32_t>(v);
}

std::string hexText(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty()) out.push_back(' ');
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

// Store text (Windows-1252) for the terminal: control characters escaped
// unless `raw`.
std::string shownText(std::string_view ansi, bool raw) {
    const std::u16string wide = pelex::codepage::fromAnsi(ansi);
    return pelex::codepage::toUtf8(raw ? wide : pelex::codepage::escapeControls(wide));
}

// A value's data as shown by `list`.
std::string shownData(const Value& v, bool raw) {
    switch (v.type) {
        case kString:
        case kExpandString: {
            std::string text = v.data;
            if (!text.empty() && text.back() == '\0') text.pop_back();
            return shownText(text, raw);
        }
        case kDword: {
            if (v.data.size() != 4) return hexText(v.data);
            std::uint32_t n = 0;
            for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(v.data[i]);
            char buf[32];
            std::snprintf(buf, sizeof buf, "0x%08X (%u)", n, n);
            return buf;
        }
        case kMultiString: {
            // The texts, each shown on its own, joined by "\0".
            std::string text = v.data;
            while (!text.empty() && text.back() == '\0') text.pop_back();
            std::string out;
            std::size_t start = 0;
            while (true) {
                const std::size_t end = text.find('\0', start);
                out += shownText(std::string_view(text).substr(start, end == std::string::npos ? end : end - start), raw);
                if (end == std::string::npos) break;
                out += "\\0";
                start = end + 1;
            }
            return out;
        }
        default:
            return hexText(v.data);
    }
}

// The data to store for VALUE under the named type; nullopt (with a message)
// when VALUE does not fit the type.
std::optional<Value> typedValue(const std::string& typeName, const std::string& name, const std::string& text) {
    auto ansi = [&]() -> std::optional<std::string> {
        auto a = pelex::codepage::utf8ToAnsi(text);
        if (!a) std::cerr << "pelexreg: the value has characters that Windows-1252 cannot hold; nothing written\n";
        return a;
    };
    if (typeName == "string" || typeName == "expand") {
        auto a = ansi();
        if (!a) return std::nullopt;
        a->push_back('\0');
        return Value{name, typeName == "string" ? kString : kExpandString, *a};
    }
    if (typeName == "multi") {
        auto a = ansi();
        if (!a) return std::nullopt;
        std::string data;
        std::size_t start = 0;
        while (true) {
            const auto sep = a->find("\\0", start);
            data += a->substr(start, sep == std::string::npos ? std::string::npos : sep - start);
            data.push_back('\0');
            if (sep == std::string::npos) break;
            start = sep + 2;
        }
        data.push_back('\0');
        return Value{name, kMultiString, data};
    }
    if (typeName == "dword") {
        const auto n = parseNumber(text);
        if (!n) {
            std::cerr << "pelexreg: a dword is a number from 0 to 4294967295 (decimal or 0x hex)\n";
            return std::nullopt;
        }
        std::string data(4, '\0');
        for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((*n >> (8 * i)) & 0xFF);
        return Value{name, kDword, data};
    }
    std::optional<std::uint32_t> type = typeName == "binary" ? std::optional<std::uint32_t>(kBinary) : parseNumber(typeName);
    if (!type) {
        std::cerr << "pelexreg: unknown type '" << typeName << "'\n";
        return std::nullopt;
    }
    auto bytes = parseHex(text);
    if (!bytes) {
        std::cerr << "pelexreg: the value must be hex digits, two per byte\n";
        return std::nullopt;
    }
    return Value{name, *type, *bytes};
}

struct KeyAddress {
    RootKey root = 0;
    std::string subKey;
};

// The root and sub-key of PATH, or nullopt after saying what is wrong.
std::optional<KeyAddress> address(Registry& registry, StderrMessageBox& box, const std::string& pathUtf8) {
    auto path = pelex::codepage::fromUtf8(pathUtf8);
    if (!path) {
        badUse("PATH is not valid UTF-8");
        return std::nullopt;
    }
    RootKey root = 0;
    registry.ParseKeyPath(*path, root);
    if (box.shown) {
        badUse("PATH must start with HKEY_ and must not end with \\");
        return std::nullopt;
    }
    if (root == 0) {
        badUse("PATH does not start with a known root key");
        return std::nullopt;
    }
    auto sub = pelex::codepage::utf8ToAnsi(pelex::codepage::toUtf8(*path));
    if (!sub) {
        badUse("PATH has characters that Windows-1252 cannot hold");
        return std::nullopt;
    }
    return KeyAddress{root, *sub};
}

int run(std::vector<std::string> args) {
    if (args.empty()) return badUse("no command given");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return 0;
    }
    const std::string command = args[0];
    std::string type = "string";
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--type") {
            if (command != "set") return badUse("--type belongs to set");
            if (i + 1 >= args.size()) return badUse("--type needs a TYPE");
            type = args[i + 1];
            args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
            break;
        }
    }
    bool raw = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--raw") {
            if (command != "get" && command != "list") return badUse("--raw belongs to get and list");
            raw = true;
            args.erase(args.begin() + static_cast<long>(i));
            break;
        }
    }
    const std::size_t n = args.size() - 1;
    if (command == "get" && n != 2) return badUse("get takes PATH NAME");
    if (command == "set" && n != 3) return badUse("set takes PATH NAME VALUE [--type TYPE]");
    if (command == "list" && n != 1) return badUse("list takes PATH");
    if (command == "delete" && n != 1 && n != 2) return badUse("delete takes PATH [NAME]");
    if (command != "get" && command != "set" && command != "list" && command != "delete") {
        return badUse("unknown command '" + command + "'");
    }

    std::optional<Store> store;
    try {
        store.emplace(openUserStore());
    } catch (const StoreError& e) {
        return failed(e.what());
    }
    StderrMessageBox box;
    Registry registry(*store, box);

    if (command == "get") {
        auto path = pelex::codepage::fromUtf8(args[1]);
        auto name = pelex::codepage::fromUtf8(args[2]);
        if (!path || !name) return badUse("arguments must be valid UTF-8");
        const std::u16string text = registry.ReadRegValue(*path, *name);
        if (box.shown) return kBadUse;
        if (registry.lastRoot() == 0) return badUse("PATH does not start with a known root key");
        std::cout << pelex::codepage::toUtf8(raw ? text : pelex::codepage::escapeControls(text)) << '\n';
        return registry.status() == 0 ? 0 : kFailed;
    }

    const auto key = address(registry, box, args[1]);
    if (!key) return kBadUse;
    std::optional<std::string> name;
    if (n >= 2) {
        name = pelex::codepage::utf8ToAnsi(args[2]);
        if (!name) return badUse("NAME must be UTF-8 text that Windows-1252 can hold");
    }

    if (command == "set") {
        const auto value = typedValue(type, *name, args[3]);
        if (!value) return kBadUse;
        Status s = store->createKey(key->root, key->subKey);
        if (s == Status::Ok) s = store->setValue(key->root, key->subKey, *value);
        return s == Status::Ok ? 0 : failed(statusText(s));
    }
    if (command == "list") {
        std::vector<Value> values;
        const Status s = store->listValues(key->root, key->subKey, values);
        if (s != Status::Ok) return failed(statusText(s));
        for (const Value& v : values) {
            const std::string_view typeName = valueTypeName(v.type);
            std::cout << (v.name.empty() ? std::string("(Default)") : shownText(v.name, raw)) << '\t'
                      << (typeName.empty() ? std::to_string(v.type) : std::string(typeName)) << '\t'
                      << shownData(v, raw) << '\n';
        }
        return 0;
    }
    const Status s = name ? store->deleteValue(key->root, key->subKey, *name) : store->deleteKey(key->root, key->subKey);
    return s == Status::Ok ? 0 : failed(statusText(s));
}

}  // namespace

int main(int argc, char** argv) { return run(std::vector<std::string>(argv + 1, argv + argc)); }
