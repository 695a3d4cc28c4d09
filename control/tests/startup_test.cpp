// The control after start-up: children, panels, extent, accessibility and
// the saved options and profile put back into the boxes.

#include <QAccessible>
#include <QAccessibleActionInterface>

#include "control/layout.h"
#include "control/tests/control_harness.h"

namespace pelex::control::testing {
namespace {

using StartupTest = ControlTest;

TEST_F(StartupTest, FreshControlShowsTheSignInPanelOverTheDisplayWithTheKeypadBlocked) {
    start();
    EXPECT_TRUE(shown("picLoginForm"));
    EXPECT_TRUE(shown("picMainForm"));
    EXPECT_TRUE(shown("imgLogin"));
    EXPECT_FALSE(shown("lblSignIn"));
    EXPECT_TRUE(shown("lblBlock"));
    EXPECT_FALSE(shown("lbltimer"));
    EXPECT_EQ(text("lblVersion"), "2.0.2");
    EXPECT_EQ(text("lblSignIn"), "Signing in...");
    // The sign-in panel lies over the display panel, the block over the keypad.
    const auto& order = control->children();
    EXPECT_GT(order.indexOf(child("picLoginForm")), order.indexOf(child("picMainForm")));
    for (int i = 0; i < 12; ++i)
        EXPECT_GT(order.indexOf(child("lblBlock")), order.indexOf(child(qPrintable(QStringLiteral("ImgNumber_%1").arg(i)))));
    // The sign-in button carries its normal picture; the transparent ones none.
    EXPECT_EQ(button("imgLogin")->picture().cacheKey(), child<QLabel>("picLogin_0")->pixmap().cacheKey());
    EXPECT_TRUE(button("imgCall")->picture().isNull());
    EXPECT_FALSE(shown("picBtn_12"));
}

TEST_F(StartupTest, OpensNoConnectionCreatesNoEngineAndRunsNoTimer) {
    start();
    EXPECT_EQ(socket->State(), 0);
    EXPECT_TRUE(socket->connectedHost.isEmpty());
    EXPECT_TRUE(engines.empty());
    EXPECT_EQ(control->engine(), nullptr);
    for (const char* name : {"tmrRingRing", "tmrProcessing", "CorvoTimer", "tmrSignIn"})
        EXPECT_FALSE(timer(name)->isActive()) << name;
    EXPECT_EQ(timer("tmrRingRing")->interval(), 2000);
    EXPECT_EQ(timer("tmrProcessing")->interval(), 2000);
    EXPECT_EQ(timer("CorvoTimer")->interval(), 1000);
}

TEST_F(StartupTest, ExtentAndChildrenFollowTheTwipsTableAtTheScreensDpi) {
    start();
    const double perTwip = control->logicalDpiX() / 1440.0;
    const auto px = [&](int twips) { return qRound(twips * perTwip); };
    EXPECT_EQ(control->size(), QSize(px(3150), px(5566)));
    EXPECT_EQ(child("picLoginForm")->geometry(), QRect(px(510), px(1050), px(2055), px(2040)));
    EXPECT_EQ(child("txtusrname")->geometry(), QRect(px(150), px(300), px(1700), px(285)));
    EXPECT_EQ(child("imgLogin")->geometry(), QRect(px(630), px(1350), px(765), px(300)));
    EXPECT_EQ(child("imgCall")->geometry(), QRect(px(660), px(3330), px(585), px(315)));
    EXPECT_EQ(child("imgOption")->geometry(), QRect(px(1260), px(3330), px(615), px(345)));
    EXPECT_EQ(child("imgDiscon")->geometry(), QRect(px(1890), px(3330), px(510), px(315)));
    EXPECT_EQ(child("lblcall")->geometry(), QRect(px(90), px(1440), px(1785), px(300)));
    EXPECT_EQ(child("ImgNumber_1")->geometry(), QRect(px(570), px(3630), px(675), px(300)));
    EXPECT_EQ(child("ImgNumber_0")->geometry(), QRect(px(1200), px(4560), px(675), px(300)));
    EXPECT_EQ(child("ImgNumber_10")->geometry(), QRect(px(570), px(4560), px(675), px(300)));
    EXPECT_EQ(child("ImgNumber_11")->geometry(), QRect(px(1830), px(4560), px(675), px(300)));
    EXPECT_EQ(child("ImgNumber_9")->geometry(), QRect(px(1830), px(4260), px(675), px(300)));
    // "Auto Login" lies below the panel's edge, where nobody can reach it.
    EXPECT_GE(child("chkAutoLogin")->y(), child("picLoginForm")->height());
    // Every keypad key and call button lies under the block.
    const QRect block = child("lblBlock")->geometry();
    for (const char* name : {"ImgNumber_1", "ImgNumber_11", "imgCall", "imgOption", "imgDiscon"})
        EXPECT_TRUE(block.contains(child(name)->geometry())) << name;
}

TEST_F(StartupTest, EveryOperableChildHasAnAccessibleNameInWordsAndButtonsAnswerPress) {
    start();
    const std::pair<const char*, const char*> names[] = {
        {"ImgNumber_1", "1"},   {"ImgNumber_0", "0"},         {"ImgNumber_10", "*"},     {"ImgNumber_11", "#"},
        {"imgCall", "Call"},    {"imgDiscon", "Hang up"},     {"imgOption", "Sign out"}, {"imgLogin", "Sign in"},
        {"lblregister", "New Register"}, {"txtusrname", "VOIP Number"}, {"txtPassword", "Password"},
        {"lblcall", "Number"}};
    for (const auto& [object, name] : names) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(child(object));
        ASSERT_NE(a, nullptr) << object;
        EXPECT_EQ(a->text(QAccessible::Name), QString::fromLatin1(name)) << object;
    }
    for (const char* object : {"imgCall", "ImgNumber_5", "imgLogin", "lblregister"}) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(child(object));
        EXPECT_EQ(a->role(), QAccessible::Button) << object;
        ASSERT_NE(a->actionInterface(), nullptr) << object;
        EXPECT_TRUE(a->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()))
            << object;
    }
    // Labels expose their captions.
    child<QLabel>("lblDisplay")->setText(QStringLiteral("Line 1 CONNECTED"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(child("lblDisplay"))->text(QAccessible::Name), "Line 1 CONNECTED");
}

TEST_F(StartupTest, PressActionOfTheKeypadReachesTheHandler) {
    start();
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(child("ImgNumber_7"));
    a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    // The press action releases the button a moment later (longer on a busy machine).
    EXPECT_TRUE(QTest::qWaitFor([&] { return box("lblcall")->text() == "7"; }, 5000)) << box("lblcall")->text().toStdString();
}

TEST_F(StartupTest, FirstStartWithoutOptionKeyLoadsNothing) {
    start();
    EXPECT_TRUE(box("txtusrname")->text().isEmpty());
    EXPECT_TRUE(box("txtPassword")->text().isEmpty());
    EXPECT_TRUE(child<QCheckBox>("chkSaveProfile")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("chkAutoLogin")->isChecked());
}

class SavedProfileTest : public ControlTest {
protected:
    void presetProfile(const std::u16string& sProfile) {
        store->preset(kOptionKey, u"New", u"1");
        store->preset(kOptionKey, u"ALogin", u"0");
        if (!sProfile.empty()) store->preset(kOptionKey, u"SProfile", sProfile);
        store->preset(kProfileKey, u"UName", u"***" + codepage::fromAnsi(crypto::ScrambleText("1000")) + u"\\\\\\");
        store->preset(kProfileKey, u"Pwd", u"***" + codepage::fromAnsi(crypto::ScrambleText("pa ss")) + u"\\\\\\");
    }
};

TEST_F(SavedProfileTest, SProfileOfOneFillsTheBoxes) {
    presetProfile(u"1");
    start();
    EXPECT_EQ(box("txtusrname")->text(), "1000");
    EXPECT_EQ(box("txtPassword")->text(), "pa ss");
    EXPECT_TRUE(child<QCheckBox>("chkSaveProfile")->isChecked());
}

TEST_F(SavedProfileTest, SProfileOfZeroLoadsTheOptionsButLeavesTheBoxesEmpty) {
    presetProfile(u"0");
    start();
    EXPECT_TRUE(box("txtusrname")->text().isEmpty());
    EXPECT_FALSE(child<QCheckBox>("chkSaveProfile")->isChecked());
}

TEST_F(SavedProfileTest, SProfileThatIsNotANumberCountsAsNotOne) {
    presetProfile(u"");  // "New" stored but "SProfile" missing: it reads "Error"
    start();
    EXPECT_TRUE(box("txtusrname")->text().isEmpty());
    EXPECT_TRUE(child<QCheckBox>("chkSaveProfile")->isChecked());  // left unchanged
    store->preset(kOptionKey, u"SProfile", u"yes");
    control.reset();
    start();
    EXPECT_TRUE(box("txtusrname")->text().isEmpty());
}

TEST_F(SavedProfileTest, StoredAutoLoginChecksAndLocksSaveProfileUntilTheNextLogin) {
    presetProfile(u"0");
    store->preset(kOptionKey, u"ALogin", u"1");
    start();
    auto* save = child<QCheckBox>("chkSaveProfile");
    EXPECT_TRUE(child<QCheckBox>("chkAutoLogin")->isChecked());
    EXPECT_TRUE(save->isChecked());
    EXPECT_FALSE(save->isEnabled());
    EXPECT_TRUE(engines.empty());  // auto login does not sign in by itself
    signIn();
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    EXPECT_TRUE(save->isEnabled());
}

TEST_F(SavedProfileTest, ProfileValuesTooShortOrMalformedGiveEmptyBoxes) {
    presetProfile(u"1");
    store->preset(kProfileKey, u"UName", u"***");
    store->preset(kProfileKey, u"Pwd", u"**");
    start();
    EXPECT_TRUE(box("txtusrname")->text().isEmpty());
    EXPECT_TRUE(box("txtPassword")->text().isEmpty());
}

}  // namespace
}  // namespace pelex::control::testing
