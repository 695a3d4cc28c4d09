#include "settings/store_location.h"

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include "codepage/utf8.h"

namespace pelex::settings {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// $xdgVar when it is an absolute path, otherwise $HOME/fallback.
std::filesystem::path xdgBase(const char* xdgVar, const char* fallback) {
    const std::string xdg = env(xdgVar);
    if (!xdg.empty() && xdg.front() == '/') return xdg;
    const std::string home = env("HOME");
    if (home.empty()) throw StoreError(std::string("neither ") + xdgVar + " nor HOME is set");
    return std::filesystem::path(home) / fallback;
}

}  // namespace

std::filesystem::path userStorePath() {
    const std::string over = env("PELEX_REGISTRY");
    if (!over.empty()) return over;
    return xdgBase("XDG_CONFIG_HOME", ".config") / "pelex" / "registry.sqlite";
}

std::filesystem::path windowsFolder() { return xdgBase("XDG_DATA_HOME", ".local/share") / "pelex" / "windows"; }

Store openUserStore() {
    const std::filesystem::path windows = windowsFolder();
    // Texts in the store are Windows-1252; file names here are UTF-8. A
    // folder name that Windows-1252 cannot hold is not seeded at all rather
    // than stored as a name of some other folder.
    std::vector<SeedValue> seed;
    if (auto ansi = codepage::utf8ToAnsi(windows.string())) {
        ansi->push_back('\0');
        seed.push_back({kLocalMachine, kWindowsNtCurrentVersion, {"PathName", kString, *ansi}});
    }
    Store store = Store::open(userStorePath(), seed);
    std::error_code ec;
    std::filesystem::create_directories(windows, ec);
    std::filesystem::permissions(windows, std::filesystem::perms::owner_all, ec);
    return store;
}

}  // namespace pelex::settings
