// The dial pad and the call buttons: keypad, keyboard rules of the number
// box, the call button's three cases, hang-up, links and pressed pictures.

#include <QClipboard>
#include <QGuiApplication>

#include "control/tests/control_harness.h"

namespace pelex::control::testing {
namespace {

class DialPadTest : public ControlTest {
protected:
    void SetUp() override {
        start();
        signInAndRegister();
        engine().calls.clear();
    }
    QLineEdit* number() const { return box("lblcall"); }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(number(), k, m); }
    void type(const char* text) { QTest::keyClicks(number(), QString::fromLatin1(text)); }
    QString lblDisplayText() const { return text("lblDisplay"); }
};

TEST_F(DialPadTest, KeypadAppendsSendsTheToneAndSelectsTheWholeNumber) {
    button("ImgNumber_1")->click();
    button("ImgNumber_2")->click();
    button("ImgNumber_3")->click();
    EXPECT_EQ(number()->text(), "123");
    EXPECT_EQ(number()->selectedText(), "123");
    EXPECT_EQ(engine().keys(), (std::vector<int>{1, 2, 3}));
    button("ImgNumber_10")->click();
    button("ImgNumber_11")->click();
    EXPECT_EQ(number()->text(), "123*#");
    EXPECT_EQ(engine().keys(), (std::vector<int>{1, 2, 3, 10, 11}));
}

TEST_F(DialPadTest, KeyTypedAfterAKeypadClickReplacesTheSelectedNumber) {
    control->show();
    button("ImgNumber_4")->click();
    button("ImgNumber_4")->click();
    type("7");
    EXPECT_EQ(number()->text(), "7");
}

TEST_F(DialPadTest, DoubleClickOnAKeyAppendsOneCharacter) {
    QWidget* k = child("ImgNumber_8");
    QTest::mouseClick(k, Qt::LeftButton);
    QTest::mouseDClick(k, Qt::LeftButton);
    QTest::mouseRelease(k, Qt::LeftButton);
    EXPECT_EQ(number()->text(), "8");
}

TEST_F(DialPadTest, BlockSwallowsClicksUntilTheFirstLoginAndStaysAwayAfterSignOut) {
    control.reset();
    engines.clear();
    start();
    const QPoint onKey = child("ImgNumber_5")->geometry().center();
    EXPECT_EQ(control->childAt(onKey), child("lblBlock"));
    QTest::mouseClick(child("lblBlock"), Qt::LeftButton, {}, child("lblBlock")->mapFrom(control.get(), onKey));
    EXPECT_TRUE(number()->text().isEmpty());
    signInAndRegister();
    EXPECT_EQ(control->childAt(onKey), child("ImgNumber_5"));
    control->imgOption_Click();
    engine().events.SignOut();
    EXPECT_EQ(control->childAt(onKey), child("ImgNumber_5"));
}

TEST_F(DialPadTest, NumberBoxTakesDigitsPlusAndBackspaceAndRefusesEverythingElse) {
    control->show();
    type("12a *#3+");
    EXPECT_EQ(number()->text(), "123+");
    EXPECT_EQ(engine().keys(), (std::vector<int>{1, 2, 3}));  // "+" sends no tone
    key(Qt::Key_Backspace);
    EXPECT_EQ(number()->text(), "123");
    EXPECT_EQ(engine().keys().size(), 3u);
    key(Qt::Key_Left);  // keys that type nothing still move the cursor
    type("0");
    EXPECT_EQ(number()->text(), "1203");
}

TEST_F(DialPadTest, DigitShowsItsKeysPressedPictureUntilAKeyIsReleased) {
    QTest::keyPress(number(), Qt::Key_5);
    EXPECT_EQ(button("ImgNumber_5")->picture().cacheKey(), child<QLabel>("picBtn_5")->pixmap().cacheKey());
    QTest::keyRelease(number(), Qt::Key_5);
    EXPECT_TRUE(button("ImgNumber_5")->picture().isNull());
}

TEST_F(DialPadTest, CtrlCAndCtrlVPassAndPastedTextIsNotFilteredButCtrlXIsRefused) {
    control->show();
    QGuiApplication::clipboard()->setText(QStringLiteral("abc 12"));
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(number()->text(), "abc 12");
    number()->selectAll();
    key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(number()->text(), "abc 12");
    QGuiApplication::clipboard()->clear();
    number()->selectAll();
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "abc 12");
}

TEST_F(DialPadTest, EnterCallsLikeTheCallButtonAndLeavesItsPressedPicture) {
    type("555");
    QTest::keyPress(number(), Qt::Key_Return);
    EXPECT_EQ(engine().uriHer, u"555@127.0.0.1");
    EXPECT_EQ(engine().calls.back(), "Connect");
    EXPECT_EQ(button("imgCall")->picture().cacheKey(), child<QLabel>("picBtn_12")->pixmap().cacheKey());
    QTest::keyRelease(number(), Qt::Key_Return);
    EXPECT_TRUE(button("imgCall")->picture().isNull());
}

TEST_F(DialPadTest, CallButtonFromIdleDialsTheNumberAtTheSipServer) {
    number()->setText(QStringLiteral("0049301234"));
    button("imgCall")->click();
    EXPECT_EQ(engine().calls, (std::vector<std::string>{"HerName=10001", "URIher=0049301234@127.0.0.1", "Connect"}));
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(DialPadTest, CallButtonWithNothingToDialSaysSoAndPlacesNoCall) {
    for (const char* typed : {"", " - ( ) . "}) {
        number()->setText(QString::fromLatin1(typed));
        button("imgCall")->click();
    }
    EXPECT_TRUE(engine().calls.empty());
    ASSERT_EQ(boxes->shown.size(), 2u);
    EXPECT_EQ(boxes->shown[0].text, u"Please enter a number to call.");
    EXPECT_EQ(boxes->shown[0].title, u"Calls");
    EXPECT_EQ(lblDisplayText(), QString::fromStdU16String(kIdleText)) << "the line stays ready";
}

TEST_F(DialPadTest, CallButtonDialsServiceCodesAndPastedNumbersWithoutTheirSeparators) {
    number()->setText(QStringLiteral("*31#0049301234"));
    button("imgCall")->click();
    EXPECT_EQ(engine().uriHer, u"*31#0049301234@127.0.0.1");
    engine().events.CallDisconnect();
    number()->setText(QStringLiteral("+1 (555) 010-9999"));
    button("imgCall")->click();
    EXPECT_EQ(engine().uriHer, u"+15550109999@127.0.0.1");
    EXPECT_EQ(number()->text(), QStringLiteral("+1 (555) 010-9999")) << "the box keeps what the user typed";
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(DialPadTest, ACallTheEngineCannotPlaceIsReported) {
    engine().connectFails = true;
    number()->setText(QStringLiteral("1001"));
    button("imgCall")->click();
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].text, u"The number 1001 cannot be called.");
    EXPECT_EQ(boxes->shown[0].title, u"Calls");
}

TEST_F(DialPadTest, CallButtonAnswersAnOfferedCall) {
    engine().events.Status(u"Line 1 INCOMING 1001");
    engine().events.Ringing();
    EXPECT_TRUE(timer("tmrRingRing")->isActive());
    button("imgCall")->click();
    EXPECT_EQ(engine().calls, (std::vector<std::string>{"Answer"}));
    EXPECT_EQ(control->callTime(), 0);
    EXPECT_FALSE(timer("tmrRingRing")->isActive());
}

TEST_F(DialPadTest, CallButtonWhileBusyRefusesWithTheCallsMessage) {
    engine().events.Status(u"Line 1 CONNECTED");
    button("imgCall")->click();
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].text, u"Please disconnect the line before you make another call.");
    EXPECT_EQ(boxes->shown[0].title, u"Calls");
    EXPECT_EQ(boxes->shown[0].icon, platform::MessageIcon::Information);
    EXPECT_TRUE(engine().calls.empty());
}

TEST_F(DialPadTest, HangUpEndsTheCallAndShowsTheIdleTextAtOnce) {
    engine().events.Status(u"Line 1 CONNECTED");
    engine().events.Processing();
    engine().events.Connected();
    control->CorvoTimer_Timer();
    engine().calls.clear();
    button("imgDiscon")->click();
    EXPECT_EQ(engine().calls, (std::vector<std::string>{"Terminate"}));
    EXPECT_EQ(text("lblDisplay"), "Line 1 is initialized and ready to make/receive calls.");
    EXPECT_FALSE(shown("lbltimer"));
    EXPECT_EQ(control->callTime(), 0);
    for (const char* name : {"tmrRingRing", "tmrProcessing", "CorvoTimer"}) EXPECT_FALSE(timer(name)->isActive());
    engine().events.CallDisconnect();  // the engine's own event afterwards: same end state
    EXPECT_EQ(text("lblDisplay"), "Line 1 is initialized and ready to make/receive calls.");
}

TEST_F(DialPadTest, HangUpDuringAFailedRegistrationLetsTheCallButtonDial) {
    engine().events.Status(u"Number is not registered.");
    button("imgDiscon")->click();
    number()->setText(QStringLiteral("1001"));
    button("imgCall")->click();
    EXPECT_EQ(engine().calls.back(), "Connect");
}

TEST_F(DialPadTest, LinksOpenTheHomeAndSignUpPages) {
    button("imgHyperlink")->click();
    button("lblregister")->click();
    EXPECT_EQ(urls->opened, (std::vector<std::u16string>{u"http://www.site.test/",
                                                          u"http://www.site.test/prepaid/signup.php?devicetype=KD300"}));
}

TEST_F(DialPadTest, PressedPicturesFollowTheMouse) {
    ImageButton* login = button("imgLogin");
    QTest::mousePress(login, Qt::LeftButton);
    EXPECT_EQ(login->picture().cacheKey(), child<QLabel>("picbtn1")->pixmap().cacheKey());
    QTest::mouseRelease(login, Qt::LeftButton);
    EXPECT_EQ(login->picture().cacheKey(), child<QLabel>("picLogin_0")->pixmap().cacheKey());
    button("imgCall")->setPicture(child<QLabel>("picBtn_12")->pixmap());
    QTest::mousePress(button("imgCall"), Qt::LeftButton);
    EXPECT_FALSE(button("imgCall")->picture().isNull());  // mouse down changes nothing
    QTest::mouseRelease(button("imgCall"), Qt::LeftButton);
    EXPECT_TRUE(button("imgCall")->picture().isNull());
}

}  // namespace
}  // namespace pelex::control::testing
