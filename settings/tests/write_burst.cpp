// Test helper: writes a burst of values into a settings store, one
// transaction each, and reports every committed write on standard output
// ("committed NAME" after the write returned), so a test can kill it at any
// moment and check that everything reported is still there.
//
// Usage: settings_write_burst STORE PREFIX COUNT

#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings/store.h"

using namespace pelex::settings;

/// The data written for value number i: its own text, of varying length, so
/// writes span pages of the database.
std::string burstData(const std::string& prefix, int i) {
    std::string data = prefix + std::to_string(i) + ':';
    data.append(static_cast<std::size_t>((i * 37) % 3000), static_cast<char>('a' + i % 26));
    data.push_back('\0');
    return data;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: settings_write_burst STORE PREFIX COUNT\n");
        return 2;
    }
    const std::string prefix = argv[2];
    const int count = std::atoi(argv[3]);
    try {
        Store store = Store::open(argv[1]);
        if (store.createKey(kCurrentUser, "Burst") != Status::Ok) return 1;
        for (int i = 0; i < count; ++i) {
            const std::string name = prefix + std::to_string(i);
            if (store.setValue(kCurrentUser, "Burst", {name, kString, burstData(prefix, i)}) != Status::Ok) {
                std::fprintf(stderr, "write %s failed\n", name.c_str());
                return 1;
            }
            // The last write also moves a shared value, overwritten in place.
            if (store.setValue(kCurrentUser, "Burst", {prefix + "last", kString, std::to_string(i)}) != Status::Ok) {
                return 1;
            }
            std::printf("committed %d\n", i);
            std::fflush(stdout);
        }
    } catch (const StoreError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
