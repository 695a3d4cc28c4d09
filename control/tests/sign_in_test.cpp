// The sign-in flow: the button, the socket handlers, the server's answers,
// what is stored, the engine factory, sign-out, hide and destruction.

#include <QElapsedTimer>

#include "control/qt_desktop.h"
#include "control/tests/control_harness.h"
#include "control/tests/message_boxes.h"

namespace pelex::control::testing {
namespace {

using SignInTest = ControlTest;

TEST_F(SignInTest, ButtonConnectsToTheAccountServerAndShowsSigningIn) {
    start();
    button("imgLogin")->click();
    EXPECT_EQ(socket->connectedHost, "account.test");
    EXPECT_EQ(socket->connectedPort, 5061);
    EXPECT_GE(socket->closeCalls, 1);  // closed before connecting
    EXPECT_TRUE(shown("lblSignIn"));
    EXPECT_FALSE(shown("imgLogin"));
    EXPECT_TRUE(timer("tmrSignIn")->isActive());
}

TEST_F(SignInTest, ConnectionSendsTheSignInRequestUnderTheKeyTextOfThisMoment) {
    start();
    box("txtusrname")->setText(QStringLiteral(" 1000"));  // sent as typed
    box("txtPassword")->setText(QStringLiteral("secret"));
    button("imgLogin")->click();
    socket->acceptConnection();
    const std::string key = kKeyText;
    const std::string expected = "LOG%20" + crypto::EncryptText(" 1000", key) + "%20" +
                                 crypto::EncryptText("secret", key) + "%20%20" + key + "{$}";
    EXPECT_EQ(socket->takeSent(), expected);
    EXPECT_EQ(control->protocol().DecodeKey, QString::fromLatin1(kKeyText));
}

TEST_F(SignInTest, LoginCodeStartsTheEngineShowsTheDisplayAndStoresEverything) {
    start();
    box("lblcall")->setText(QStringLiteral("999"));
    signIn("1000 ", "secret");
    deliverLoginCode("sip-pw ", ", 10.0.0.5 , 5060 ,extra");

    const auto& sip = control->sipAccount();
    EXPECT_EQ(sip.userName, u"1000");
    EXPECT_EQ(sip.password, u"sip-pw");
    EXPECT_EQ(sip.serverIP, u"10.0.0.5");
    EXPECT_EQ(sip.port, u"5060");
    ASSERT_EQ(engines.size(), 1u);
    EXPECT_EQ(engine().calls, (std::vector<std::string>{"LineNumber=Line 1", "RegServerIP=10.0.0.5",
                                                         "RegPassword=sip-pw", "RegUserName=1000",
                                                         "RegSIPPort=5060", "Init(false)"}));
    EXPECT_FALSE(shown("picLoginForm"));
    EXPECT_TRUE(shown("picMainForm"));
    EXPECT_TRUE(box("lblcall")->text().isEmpty());
    EXPECT_FALSE(shown("lblBlock"));
    EXPECT_FALSE(shown("lblSignIn"));
    EXPECT_TRUE(child("imgLogin")->isVisibleTo(child("picLoginForm")));
    EXPECT_EQ(socket->State(), 0);  // the connection is not kept
    EXPECT_FALSE(timer("tmrSignIn")->isActive());

    EXPECT_EQ(store->writes, (std::vector<std::u16string>{u"UName", u"Pwd", u"ALogin", u"SProfile", u"New"}));
    const std::u16string uname = store->values[{kProfileKey, u"UName"}];
    ASSERT_GE(uname.size(), 6u);
    EXPECT_EQ(uname.substr(0, 3), u"***");
    EXPECT_EQ(uname.substr(uname.size() - 3), u"\\\\\\");
    EXPECT_EQ(crypto::UnscrambleText(codepage::toAnsi(uname.substr(3, uname.size() - 6))), "1000");
    const std::u16string pwd = store->values[{kProfileKey, u"Pwd"}];
    EXPECT_EQ(crypto::UnscrambleText(codepage::toAnsi(pwd.substr(3, pwd.size() - 6))), "secret");
    EXPECT_EQ((store->values[{kOptionKey, u"ALogin"}]), u"0");
    EXPECT_EQ((store->values[{kOptionKey, u"SProfile"}]), u"1");
    EXPECT_EQ((store->values[{kOptionKey, u"New"}]), u"1");
}

TEST_F(SignInTest, ProfileIsStoredEvenWithSaveProfileUncheckedButNotLoadedNextTime) {
    start();
    child<QCheckBox>("chkSaveProfile")->setChecked(false);
    signIn();
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    EXPECT_EQ((store->values[{kOptionKey, u"SProfile"}]), u"0");
    EXPECT_TRUE(store->values.count({kProfileKey, u"UName"}));
    control.reset();
    engines.clear();
    start();
    EXPECT_TRUE(box("txtusrname")->text().isEmpty());
    EXPECT_FALSE(child<QCheckBox>("chkSaveProfile")->isChecked());
}

TEST_F(SignInTest, SavedProfileComesBackAtTheNextStart) {
    start();
    signIn("1000", "p\xC3\xA4ss");  // a Windows-1252 letter survives the round trip
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    control.reset();
    engines.clear();
    start();
    EXPECT_EQ(box("txtusrname")->text(), "1000");
    EXPECT_EQ(box("txtPassword")->text(), QString::fromUtf8("p\u00E4ss"));
}

TEST_F(SignInTest, EmptyOrShortLoginCodeIsLoginFailAndStoresNothing) {
    for (const std::string message : {"SIPCODE%20{$}", "SIPCODE%20ABCDEF,127.0.0.1{$}"}) {
        control.reset();
        boxes->shown.clear();
        start();
        signIn();
        socket->deliver(message);
        ASSERT_EQ(boxes->shown.size(), 1u) << message;
        EXPECT_EQ(boxes->shown[0].text, u"Login Fail.");
        EXPECT_EQ(boxes->shown[0].title, u"VozeDezor");
        EXPECT_EQ(boxes->shown[0].icon, platform::MessageIcon::Information);
        EXPECT_TRUE(shown("imgLogin"));
        EXPECT_FALSE(shown("lblSignIn"));
        EXPECT_TRUE(shown("picLoginForm"));
        EXPECT_EQ(box("txtusrname")->text(), "1000");
        EXPECT_TRUE(engines.empty());
        EXPECT_TRUE(store->writes.empty());
        EXPECT_EQ(socket->State(), 0);
        EXPECT_FALSE(timer("tmrSignIn")->isActive());
    }
}

TEST_F(SignInTest, WrongCredentialsGiveTheButtonBackWithOnlyTheProtocolsMessage) {
    start();
    box("txtusrname")->setText(QStringLiteral("1000"));
    button("imgLogin")->click();
    socket->acceptConnection();
    socket->deliver("ACC%20-1{$}");
    EXPECT_TRUE(shown("imgLogin"));
    EXPECT_FALSE(shown("lblSignIn"));
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].title, u"Login Fail");
    EXPECT_TRUE(store->writes.empty());
    EXPECT_FALSE(timer("tmrSignIn")->isActive());
}

TEST_F(SignInTest, ExpiredAccountGivesTheButtonBack) {
    start();
    button("imgLogin")->click();
    socket->acceptConnection();
    socket->deliver("ACC%20-2{$}");
    EXPECT_TRUE(shown("imgLogin"));
    EXPECT_FALSE(shown("lblSignIn"));
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].title, u"Login Fail");
}

TEST_F(SignInTest, RefusedConnectionRemoteCloseAndSilenceEachEndTheSignInWithAMessage) {
    start();
    button("imgLogin")->click();
    socket->refuseConnection();
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_TRUE(shown("imgLogin"));
    EXPECT_FALSE(shown("lblSignIn"));
    EXPECT_EQ(boxes->shown[0].title, u"VozeDezor");

    button("imgLogin")->click();
    socket->acceptConnection();
    socket->closeFromRemote();
    ASSERT_EQ(boxes->shown.size(), 2u);
    EXPECT_TRUE(shown("imgLogin"));

    button("imgLogin")->click();
    socket->acceptConnection();
    EXPECT_TRUE(timer("tmrSignIn")->isActive());
    control->tmrSignIn_Timer();  // the bounded wait is over
    ASSERT_EQ(boxes->shown.size(), 3u);
    EXPECT_EQ(boxes->shown[2].text, u"The account server did not answer. Please try again.");
    EXPECT_TRUE(shown("imgLogin"));
    EXPECT_FALSE(shown("lblSignIn"));
    EXPECT_EQ(socket->State(), 0);
}

// A real modal box, held open five times as long as the sign-in may wait:
// the refusal is the only box, and it belongs to the phone's window.
TEST_F(SignInTest, RefusalBoxHeldOpenPastTheWaitIsTheOnlyBox) {
    auto real = std::make_shared<QtMessageBox>();
    messageBox = real;
    signInTimeout = std::chrono::milliseconds(300);
    start();
    real->setOwner(control.get());
    control->move(400, 200);  // room on both sides for a box wider than the phone
    control->show();
    box("txtusrname")->setText(QStringLiteral("1000"));
    button("imgLogin")->click();
    socket->acceptConnection();
    BoxCloser closer(1500);
    QElapsedTimer clock;
    clock.start();
    socket->deliver("ACC%20-1{$}");  // returns once the box is closed
    EXPECT_GE(clock.elapsed(), 1500);
    ASSERT_EQ(closer.seen.size(), 1u);
    EXPECT_EQ(closer.seen[0].text, "Invalid user name and password, please try again !!!");
    EXPECT_EQ(closer.seen[0].title, "Login Fail");
    EXPECT_EQ(closer.seen[0].parentWindow, control->window());
    // Centred over the phone, not somewhere on the screen.
    EXPECT_LE((closer.seen[0].geometry.center() - control->geometry().center()).manhattanLength(), 40);
    EXPECT_TRUE(shown("imgLogin"));
    EXPECT_FALSE(shown("lblSignIn"));
    EXPECT_FALSE(timer("tmrSignIn")->isActive());
    QCoreApplication::processEvents();  // whatever was queued behind the box
    EXPECT_FALSE(timer("tmrSignIn")->isActive()) << "no wait left that could open a second box";
    EXPECT_EQ(closer.seen.size(), 1u);
    EXPECT_EQ(closer.mostOpenAtOnce, 1);
}

TEST_F(SignInTest, AnAnswerThatSettlesNothingStartsTheWaitAfresh) {
    start();
    button("imgLogin")->click();
    socket->acceptConnection();
    socket->takeSent();
    socket->deliver("APP{$}");  // a challenge: answered, the sign-in goes on
    EXPECT_EQ(socket->takeSent(), "AUT%20{$}");
    EXPECT_TRUE(timer("tmrSignIn")->isActive());
    socket->deliver("ACC%20");  // half a message
    EXPECT_TRUE(timer("tmrSignIn")->isActive());
    control->tmrSignIn_Timer();
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].text, u"The account server did not answer. Please try again.");
}

TEST_F(SignInTest, LoginCodeMessageWithoutItsFieldEndsTheSignInAtOnce) {
    start();
    signIn();
    socket->deliver("SIPCODE{$}");
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].text, u"Login Fail.");
    EXPECT_EQ(boxes->shown[0].title, u"VozeDezor");
    EXPECT_TRUE(shown("imgLogin"));
    EXPECT_FALSE(timer("tmrSignIn")->isActive());
    EXPECT_TRUE(engines.empty());
    EXPECT_EQ(socket->State(), 0);
}

TEST_F(SignInTest, UnreachableServerIsNamedWithItsPortAndHowToChooseAnother) {
    start();
    button("imgLogin")->click();
    socket->refuseConnection();
    ASSERT_EQ(boxes->shown.size(), 1u);
    const QString text = QString::fromStdU16String(boxes->shown[0].text);
    EXPECT_TRUE(text.contains(QStringLiteral("account.test port 5061"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("(Connection refused)"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("PELEX_ACCOUNT_SERVER"))) << text.toStdString();
}

TEST_F(SignInTest, CloseAfterAFinishedSignInIsNotReported) {
    start();
    signIn();
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    control->tmrSignIn_Timer();
    socket->closeFromRemote();
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(SignInTest, NewSignInReleasesTheOldEngineAndBuildsANewOne) {
    start();
    signIn();
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    CallEngine* first = control->engine();
    button("imgLogin")->click();  // the hidden panel's button, as the automation method would
    EXPECT_EQ(control->engine(), nullptr);
    socket->acceptConnection();
    socket->deliver("ACC%200{$}");
    deliverLoginCode("other", ",127.0.0.2,5070");
    ASSERT_EQ(engines.size(), 2u);
    EXPECT_NE(static_cast<CallEngine*>(engines[1]), first);
    EXPECT_EQ(engines[1]->serverIP, u"127.0.0.2");
}

TEST_F(SignInTest, NewRTC1TwiceKeepsTheFirstEngineAndItsSettings) {
    start();
    signIn();
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    control->newRTC1();
    EXPECT_EQ(engines.size(), 1u);
    EXPECT_EQ(engine().serverIP, u"127.0.0.1");
    EXPECT_EQ(std::count(engine().calls.begin(), engine().calls.end(), "Init(false)"), 1);
}

TEST_F(SignInTest, SignOutTerminatesAndShutsDownThenSignOutEventShowsThePanel) {
    start();
    signInAndRegister();
    EXPECT_EQ(text("lblNumber"), "1000");
    engine().calls.clear();
    control->imgOption_Click();
    EXPECT_EQ(engine().calls, (std::vector<std::string>{"Terminate", "ShutDown"}));
    engine().events.Status(u"Signing Out...");
    engine().events.SignOut();
    EXPECT_TRUE(shown("picLoginForm"));
    EXPECT_TRUE(text("lblNumber").isEmpty());
    EXPECT_EQ(box("txtusrname")->text(), "1000");  // one click signs in again
    EXPECT_FALSE(shown("lblBlock"));               // the keypad stays usable
}

TEST_F(SignInTest, SignOutWithoutEngineOrAfterReleaseEndsQuietly) {
    start();
    control->imgOption_Click();
    EXPECT_TRUE(boxes->shown.empty());
    signInAndRegister();
    engine().clientReleased = true;
    control->imgOption_Click();
    control->imgOption_Click();
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(SignInTest, HidingTheControlSignsOutAndTheEngineReportsBack) {
    start();
    control->show();
    signInAndRegister();
    engine().calls.clear();
    control->hide();
    EXPECT_EQ(engine().calls, (std::vector<std::string>{"Terminate", "ShutDown"}));
    engine().events.SignOut();
    EXPECT_TRUE(shown("picLoginForm"));
}

// A window hidden to the tray keeps the phone signed in: only the control's
// own hiding signs out.
TEST_F(SignInTest, HidingTheWindowAroundTheControlKeepsItSignedIn) {
    QWidget window;
    start();
    control->setParent(&window);
    window.show();
    signInAndRegister();
    engine().calls.clear();
    window.hide();
    window.show();
    EXPECT_TRUE(engine().calls.empty()) << engine().calls.front();
    control->setParent(nullptr);
}

TEST_F(SignInTest, DestroyingTheControlEndsTheCallAndSignsOutEvenWithoutEngine) {
    start();
    control.reset();  // never signed in: nothing to do, nothing fails
    start();
    signInAndRegister();
    ScriptedEngine* e = engines.back();
    std::vector<std::string>* calls = &e->calls;
    calls->clear();
    control->UserControl_Terminate();
    EXPECT_EQ(*calls, (std::vector<std::string>{"Terminate", "ShutDown"}));
    e->clientReleased = true;
    control->UserControl_Terminate();  // a released client: each step on its own
    EXPECT_EQ(calls->back(), "ShutDown");
    control.reset();
}

}  // namespace
}  // namespace pelex::control::testing
