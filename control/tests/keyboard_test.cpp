// The phone by keyboard, with real key events on an active window: where
// the focus starts, the tab chain, Enter to sign in and to dial, the
// shortcuts of the call buttons and the focus mark of the image buttons.

#include <QApplication>
#include <QImage>

#include "control/tests/control_harness.h"

namespace pelex::control::testing {
namespace {

class KeyboardTest : public ControlTest {
protected:
    void showActive() {
        control->show();
        control->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(control.get()));
    }
    QWidget* focus() const { return QApplication::focusWidget(); }
    QString focusName() const { return focus() ? focus()->objectName() : QStringLiteral("(none)"); }
    void press(Qt::Key key, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(focus(), key, m); }
    void type(const char* text) { QTest::keyClicks(focus(), QString::fromLatin1(text)); }
    /// The object names Tab visits from the current focus until it comes back.
    QStringList tabCycle() {
        QStringList names{focusName()};
        for (int i = 0; i < 40; ++i) {
            press(Qt::Key_Tab);
            if (focusName() == names.front()) return names;
            names << focusName();
        }
        ADD_FAILURE() << "Tab never came back to " << names.front().toStdString();
        return names;
    }
};

TEST_F(KeyboardTest, StartUpFocusIsTheNumberAndTabGoesPasswordSaveProfileSignIn) {
    start();
    showActive();
    EXPECT_EQ(focusName(), "txtusrname");
    const QStringList cycle = tabCycle();
    ASSERT_GE(cycle.size(), 4);
    EXPECT_EQ(cycle.mid(0, 4), (QStringList{"txtusrname", "txtPassword", "chkSaveProfile", "imgLogin"}));
    // Nothing covered or unreachable is a stop: not the hidden "Auto Login",
    // not the number box under the panel, not the blocked keypad.
    for (const char* hidden : {"chkAutoLogin", "lblcall", "imgCall", "imgDiscon", "imgOption", "ImgNumber_1"})
        EXPECT_FALSE(cycle.contains(QLatin1String(hidden))) << hidden << " in " << cycle.join(' ').toStdString();
    EXPECT_TRUE(cycle.contains(QStringLiteral("lblregister")));
    // Shift+Tab walks back.
    press(Qt::Key_Backtab);
    EXPECT_EQ(focusName(), cycle.back());
}

TEST_F(KeyboardTest, TypedCredentialsAndEnterInThePasswordSignIn) {
    start();
    showActive();
    type("1000");
    press(Qt::Key_Return);  // Enter in the number goes on to the password
    EXPECT_EQ(focusName(), "txtPassword");
    type("secret");
    EXPECT_EQ(box("txtusrname")->text(), "1000");
    EXPECT_EQ(box("txtPassword")->text(), "secret");
    EXPECT_TRUE(box("lblcall")->text().isEmpty());
    press(Qt::Key_Return);
    EXPECT_EQ(socket->connectedHost, "account.test");
    EXPECT_TRUE(shown("lblSignIn"));
    // A second Enter while the sign-in runs starts no second one.
    const int closes = socket->closeCalls;
    press(Qt::Key_Enter);
    EXPECT_EQ(socket->closeCalls, closes);
    socket->acceptConnection();
    EXPECT_EQ(socket->takeSent().substr(0, 6), "LOG%20");
    socket->deliver("ACC%200{$}");
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    EXPECT_EQ(focusName(), "lblcall");
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(KeyboardTest, SignInButtonPressedFromTheKeyboardKeepsTheFocusInTheSignInBoxes) {
    start();
    showActive();
    for (int i = 0; i < 3; ++i) press(Qt::Key_Tab);
    ASSERT_EQ(focusName(), "imgLogin");
    press(Qt::Key_Space);
    EXPECT_TRUE(shown("lblSignIn"));
    EXPECT_EQ(focusName(), "txtPassword");
    socket->refuseConnection();  // back with the button after the message
    EXPECT_TRUE(shown("imgLogin"));
    EXPECT_EQ(focusName(), "txtPassword");
}

TEST_F(KeyboardTest, AfterSignInDigitsAndEnterDialAndTheCallButtonsAreTabStops) {
    start();
    showActive();
    signInAndRegister();
    EXPECT_EQ(focusName(), "lblcall");
    type("1001");
    press(Qt::Key_Return);
    EXPECT_EQ(engine().uriHer, u"1001@127.0.0.1");
    EXPECT_EQ(engine().calls.back(), "Connect");
    const QStringList cycle = tabCycle();
    for (const char* stop : {"imgCall", "imgOption", "imgDiscon", "ImgNumber_1", "ImgNumber_11", "imgHyperlink"})
        EXPECT_TRUE(cycle.contains(QLatin1String(stop))) << stop << " not in " << cycle.join(' ').toStdString();
    for (const char* hidden : {"txtusrname", "txtPassword", "imgLogin", "chkAutoLogin"})
        EXPECT_FALSE(cycle.contains(QLatin1String(hidden))) << hidden;
    EXPECT_EQ(cycle.indexOf(QStringLiteral("imgCall")), cycle.indexOf(QStringLiteral("lblcall")) + 1);
}

TEST_F(KeyboardTest, EscapeHangsUpAndTheSignOutShortcutSignsOutBackToTheNumberBox) {
    start();
    showActive();
    signInAndRegister();
    type("1001");
    press(Qt::Key_Return);
    engine().events.Status(u"Line 1 CONNECTED");
    engine().events.Connected();
    engine().calls.clear();
    press(Qt::Key_Escape);
    EXPECT_EQ(engine().calls, (std::vector<std::string>{"Terminate"}));
    EXPECT_EQ(text("lblDisplay"), QString::fromStdU16String(kIdleText));
    EXPECT_FALSE(shown("lbltimer"));

    engine().calls.clear();
    press(Qt::Key_Q, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(engine().calls, (std::vector<std::string>{"Terminate", "ShutDown"}));
    engine().events.SignOut();
    EXPECT_TRUE(shown("picLoginForm"));
    EXPECT_EQ(focusName(), "txtusrname");
    // Typing goes into the number again, never into the covered dial box.
    type("2");
    EXPECT_EQ(box("txtusrname")->text(), "10002");
    EXPECT_EQ(box("lblcall")->text(), "1001");
}

TEST_F(KeyboardTest, CallShortcutAndFocusedButtonsDoWhatAClickDoes) {
    start();
    showActive();
    signInAndRegister();
    box("lblcall")->setText(QStringLiteral("1002"));
    press(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(engine().calls.back(), "Connect");
    engine().events.Status(u"INPROGRESS");
    // Now busy: the call button's message, from the keyboard as from a click.
    press(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].text, u"Please disconnect the line before you make another call.");
    // A focused key presses with Space and Enter.
    engine().events.CallDisconnect();
    box("lblcall")->clear();
    button("ImgNumber_7")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Space);
    EXPECT_EQ(box("lblcall")->text(), "7");
    button("ImgNumber_11")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Enter);
    EXPECT_EQ(box("lblcall")->text(), "7#");
    EXPECT_EQ(engine().keys().back(), 11);
}

TEST_F(KeyboardTest, ShortcutsAreSwallowedWhileTheBlockCoversTheButtons) {
    start();
    showActive();
    press(Qt::Key_Return, Qt::ControlModifier);
    press(Qt::Key_Escape);
    press(Qt::Key_Q, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(boxes->shown.empty());  // a call button click would have said the line is busy
    EXPECT_TRUE(engines.empty());
    EXPECT_EQ(focusName(), "txtusrname");
}

TEST_F(KeyboardTest, AMouseClickOnAButtonLeavesTheFocusInTheNumberBox) {
    start();
    showActive();
    signInAndRegister();
    type("12");
    QTest::mouseClick(child("imgDiscon"), Qt::LeftButton);
    EXPECT_EQ(engine().calls.back(), "Terminate");
    EXPECT_EQ(focusName(), "lblcall");
}

TEST_F(KeyboardTest, ToolTipsNameTheShortcuts) {
    start();
    EXPECT_EQ(child("imgCall")->toolTip(), "Make a call and receive a call (Ctrl+Return)");
    EXPECT_EQ(child("imgDiscon")->toolTip(), "Terminate a call (Esc)");
    EXPECT_EQ(child("imgOption")->toolTip(), "Sign Out (Ctrl+Shift+Q)");
}

TEST_F(KeyboardTest, AFocusedButtonShowsAFocusMark) {
    start();
    showActive();
    signInAndRegister();
    QWidget* call = child("imgCall");
    const QImage plain = call->grab().toImage();
    call->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(call->hasFocus());
    const QImage focused = call->grab().toImage();
    EXPECT_NE(plain, focused);
    // The mark is the amber ring along the edge, not a change in the middle.
    const QColor edge = focused.pixelColor(focused.width() / 2, 1);
    EXPECT_GT(edge.red(), 200);
    EXPECT_GT(edge.green(), 150);
    EXPECT_LT(edge.blue(), 100);
    EXPECT_EQ(focused.pixelColor(focused.width() / 2, focused.height() / 2),
              plain.pixelColor(plain.width() / 2, plain.height() / 2));
}

}  // namespace
}  // namespace pelex::control::testing
