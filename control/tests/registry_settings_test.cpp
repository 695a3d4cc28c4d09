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

// The profile's scramble gives "\xff" at a 1st, 3rd... place back as a zero
// character, and a zero character at a 2nd, 4th... place back as "\xff". A
// password like that is not saved in a form that would come back different:
// the next sign-in from the saved profile would fail.
TEST_F(RegistrySettingsTest, APasswordTheProfileCannotCarryIsNotSavedAndTheUserIsToldOnce) {
    startOnStore();
    signIn("1000", "oldpw");
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    ASSERT_TRUE(boxes->shown.empty());

    const std::string yFirst = "\xC3\xBFsecret";  // UTF-8 of "\u00FFsecret"
    signIn("1000", yFirst);
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    EXPECT_NE(control->engine(), nullptr);  // the sign-in itself goes on
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_NE(boxes->shown[0].text.find(u"password was not saved"), std::u16string::npos);
    EXPECT_EQ(boxes->shown[0].title, u"VozeDezor");
    // The same password again in this session: the user knows already.
    signIn("1000", yFirst);
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    EXPECT_EQ(boxes->shown.size(), 1u);

    // The next start has the number, and no password rather than another one
    // (neither a changed one nor the one saved before).
    control.reset();
    settingsStore.reset();
    startOnStore();
    EXPECT_EQ(box("txtusrname")->text(), "1000");
    EXPECT_EQ(box("txtPassword")->text(), "");
    boxes->shown.clear();

    // A zero character at the 2nd place is told in a new session too; a
    // password that can be kept is saved again.
    signIn("1000", std::string("a\0b", 3));
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    ASSERT_EQ(boxes->shown.size(), 1u);
    signIn("1000", "fine");
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    EXPECT_EQ(boxes->shown.size(), 1u);
    // Told again after a save: the stored password changes once more.
    signIn("1000", yFirst);
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    EXPECT_EQ(boxes->shown.size(), 2u);
    signIn("1000", "fine");
    deliverLoginCode("sippw", ",127.0.0.1,5060");

    // A number that cannot be kept is left out the same way.
    signIn("\xC3\xBF" "1", "fine");
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    ASSERT_EQ(boxes->shown.size(), 3u);
    EXPECT_NE(boxes->shown[2].text.find(u"VOIP number was not saved"), std::u16string::npos);
    control.reset();
    settingsStore.reset();
    startOnStore();
    EXPECT_EQ(box("txtusrname")->text(), "");
    EXPECT_EQ(box("txtPassword")->text(), "fine");
}

}  // namespace
}  // namespace pelex::control::testing
