// The control's profile and options in the real settings store, read back
// through the Registry module as another program would.

#include <QTemporaryDir>

#include "control/registry_settings_store.h"
#include "control/tests/control_harness.h"

namespace pelex::control::testing {
namespace {

class RegistrySettingsTest : public ControlTest {
protected:
    void startOnStore() {
        settingsStore = std::make_shared<RegistrySettingsStore>(settings::Store::open(file()), boxes);
        start();
    }
    std::filesystem::path file() const { return std::filesystem::path(dir.path().toStdString()) / "registry.sqlite"; }
    std::u16string read(const std::u16string& path, const std::u16string& name) {
        auto store = settings::Store::open(file());
        platform::testing::RecordingMessageBox box;
        settings::Registry registry(store, box);
        return registry.ReadRegValue(path, name);
    }
    QTemporaryDir dir;
};

TEST_F(RegistrySettingsTest, SignInStoresTheProfileAndOptionsThatTheNextStartLoads) {
    startOnStore();
    EXPECT_EQ(read(kOptionKey, u"New"), u"Error");
    signIn("1000", "secret");
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    control.reset();
    settingsStore.reset();

    EXPECT_EQ(read(kOptionKey, u"ALogin"), u"0");
    EXPECT_EQ(read(kOptionKey, u"SProfile"), u"1");
    EXPECT_EQ(read(kOptionKey, u"New"), u"1");
    const std::u16string uname = read(kProfileKey, u"UName");
    ASSERT_GT(uname.size(), 6u);
    EXPECT_EQ(uname.substr(0, 3), u"***");
    EXPECT_EQ(uname.substr(uname.size() - 3), u"\\\\\\");

    startOnStore();
    EXPECT_EQ(box("txtusrname")->text(), "1000");
    EXPECT_EQ(box("txtPassword")->text(), "secret");
    EXPECT_TRUE(boxes->shown.empty());
}

}  // namespace
}  // namespace pelex::control::testing
