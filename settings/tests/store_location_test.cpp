#include "settings/store_location.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "settings/testing/run_program.h"

using namespace pelex::settings;

namespace {

// Sets environment variables for one test and puts the old ones back.
class ScopedEnv {
public:
    void set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                ::unsetenv(it->first.c_str());
            }
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace

TEST(StoreLocation, EnvironmentChoosesTheFiles) {
    ScopedEnv env;
    env.set("HOME", "/home/ann");
    env.set("PELEX_REGISTRY", nullptr);
    env.set("XDG_CONFIG_HOME", nullptr);
    env.set("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(userStorePath(), "/home/ann/.config/pelex/registry.sqlite");
    EXPECT_EQ(windowsFolder(), "/home/ann/.local/share/pelex/windows");
    env.set("XDG_CONFIG_HOME", "/cfg");
    env.set("XDG_DATA_HOME", "/data");
    EXPECT_EQ(userStorePath(), "/cfg/pelex/registry.sqlite");
    EXPECT_EQ(windowsFolder(), "/data/pelex/windows");
    env.set("XDG_CONFIG_HOME", "relative/ignored");
    EXPECT_EQ(userStorePath(), "/home/ann/.config/pelex/registry.sqlite");
    env.set("PELEX_REGISTRY", "/tmp/x.sqlite");
    EXPECT_EQ(userStorePath(), "/tmp/x.sqlite");
    env.set("PELEX_REGISTRY", "");
    env.set("HOME", nullptr);
    EXPECT_THROW(userStorePath(), StoreError);
}

TEST(StoreLocation, ANewUserStoreNamesTheWindowsFolderAndMakesIt) {
    pelex::testing::TempFolder tmp;
    ScopedEnv env;
    env.set("PELEX_REGISTRY", (tmp.path() / "reg.sqlite").c_str());
    env.set("XDG_DATA_HOME", (tmp.path() / "data").c_str());
    {
        Store store = openUserStore();
        Value v;
        ASSERT_EQ(store.getValue(kLocalMachine, kWindowsNtCurrentVersion, "PathName", v), Status::Ok);
        EXPECT_EQ(v.type, kString);
        EXPECT_EQ(v.data, (tmp.path() / "data/pelex/windows").string() + '\0');
        EXPECT_TRUE(std::filesystem::is_directory(tmp.path() / "data/pelex/windows"));
        ASSERT_EQ(store.setValue(kLocalMachine, kWindowsNtCurrentVersion, {"PathName", kString, "/elsewhere"}),
                  Status::Ok);
    }
    // An existing store keeps what the user made of it.
    Store store = openUserStore();
    Value v;
    ASSERT_EQ(store.getValue(kLocalMachine, kWindowsNtCurrentVersion, "PathName", v), Status::Ok);
    EXPECT_EQ(v.data, "/elsewhere");
}

TEST(StoreLocation, AWindowsFolderNameOutsideTheCodePageIsNotSeeded) {
    pelex::testing::TempFolder tmp;
    ScopedEnv env;
    env.set("PELEX_REGISTRY", (tmp.path() / "reg.sqlite").c_str());
    env.set("XDG_DATA_HOME", (tmp.path() / "\xd0\x94\xd0\xb0").c_str());  // Cyrillic
    Store store = openUserStore();
    Value v;
    EXPECT_EQ(store.getValue(kLocalMachine, kWindowsNtCurrentVersion, "PathName", v), Status::NotFound);

    // Accented Latin letters are held, as Windows-1252 bytes.
    pelex::testing::TempFolder tmp2;
    env.set("PELEX_REGISTRY", (tmp2.path() / "reg.sqlite").c_str());
    env.set("XDG_DATA_HOME", (tmp2.path() / "Jos\xc3\xa9").c_str());
    Store store2 = openUserStore();
    ASSERT_EQ(store2.getValue(kLocalMachine, kWindowsNtCurrentVersion, "PathName", v), Status::Ok);
    EXPECT_EQ(v.data, tmp2.path().string() + "/Jos\xe9/pelex/windows" + '\0');
}
