// Numbers handed over from call links: dialled at once on an idle line,
// kept through the sign-in and registration (but dialled only within a
// minute, and never over the user's own edits), refused during a call and
// for text that is no number.

#include "control/tests/control_harness.h"

namespace pelex::control::testing {
namespace {

using CallLinksTest = ControlTest;
using LinkDial = Pelex_MSN::LinkDial;

int connects(const ScriptedEngine& e) { return int(std::count(e.calls.begin(), e.calls.end(), "Connect")); }

TEST_F(CallLinksTest, IdleLineDialsAtOnce) {
    start();
    signInAndRegister();
    engine().calls.clear();
    ASSERT_EQ(control->dialNumber(QStringLiteral("+15550100")), LinkDial::Dialling);
    EXPECT_EQ(box("lblcall")->text(), "+15550100");
    EXPECT_EQ(engine().uriHer, u"+15550100@127.0.0.1");
    EXPECT_EQ(engine().calls.back(), "Connect");
    EXPECT_TRUE(control->pendingNumber().isEmpty());
}

TEST_F(CallLinksTest, SignedOutTheNumberWaitsForTheSignInAndTheIdleLine) {
    start();
    ASSERT_EQ(control->dialNumber(QStringLiteral("*100#")), LinkDial::Waiting);
    EXPECT_EQ(control->pendingNumber(), "*100#");
    EXPECT_TRUE(shown("picLoginForm"));  // nothing else changes for the user yet
    EXPECT_TRUE(boxes->shown.empty());
    signIn();
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    engine().events.Status(u"Line 1 is registering.");
    EXPECT_EQ(std::count(engine().calls.begin(), engine().calls.end(), "Connect"), 0);
    engine().events.Status(kIdleText);
    // Dialled from the event loop, after the engine's event has returned.
    EXPECT_EQ(std::count(engine().calls.begin(), engine().calls.end(), "Connect"), 0);
    QTest::qWait(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(engine().uriHer, u"*100#@127.0.0.1");
    EXPECT_EQ(std::count(engine().calls.begin(), engine().calls.end(), "Connect"), 1);
    EXPECT_EQ(box("lblcall")->text(), "*100#");
    EXPECT_TRUE(control->pendingNumber().isEmpty());
    // Once only: the next idle text dials nothing.
    engine().events.Status(kIdleText);
    QCoreApplication::processEvents();
    EXPECT_EQ(std::count(engine().calls.begin(), engine().calls.end(), "Connect"), 1);
}

TEST_F(CallLinksTest, FailedRegistrationKeepsTheNumberAndSignOutDropsIt) {
    start();
    signIn();
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    engine().events.Status(u"Number is not registered.");
    ASSERT_EQ(control->dialNumber(QStringLiteral("1001")), LinkDial::Waiting);
    EXPECT_EQ(control->pendingNumber(), "1001");
    EXPECT_TRUE(boxes->shown.empty());
    control->imgOption_Click();
    EXPECT_TRUE(control->pendingNumber().isEmpty());
}

TEST_F(CallLinksTest, DuringACallTheNumberIsRefusedWithTheCallButtonsMessage) {
    start();
    signInAndRegister();
    box("lblcall")->setText(QStringLiteral("1001"));
    control->imgCall_Click();
    engine().events.Status(u"Line 1 CONNECTED");
    engine().calls.clear();
    ASSERT_EQ(control->dialNumber(QStringLiteral("1002")), LinkDial::LineBusy);
    EXPECT_TRUE(boxes->shown.empty()) << "the caller has its answer before the box opens";
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].text, u"Please disconnect the line before you make another call.");
    EXPECT_EQ(boxes->shown[0].title, u"Calls");
    EXPECT_EQ(box("lblcall")->text(), "1001");  // the digits of the call in progress stay
    EXPECT_TRUE(engine().calls.empty());
    EXPECT_TRUE(control->pendingNumber().isEmpty());
}

TEST_F(CallLinksTest, TextThatIsNoNumberChangesNothing) {
    start();
    signInAndRegister();
    engine().calls.clear();
    for (const std::string& bad : {std::string(), std::string("12a"), std::string("1 2"), std::string("tel:1"),
                                   std::string("1-2"), std::string(65, '1')})
        EXPECT_EQ(control->dialNumber(QString::fromStdString(bad)), LinkDial::NotANumber) << bad;
    EXPECT_TRUE(engine().calls.empty());
    EXPECT_TRUE(box("lblcall")->text().isEmpty());
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(CallLinksTest, ANumberIsDialledOnlyWithinAMinuteOfTheHandOverOrOfTheSignIn) {
    start();
    ASSERT_EQ(control->dialNumber(QStringLiteral("1001")), LinkDial::Waiting);
    clock->steady += std::chrono::minutes(30);  // the user signs in long after the link
    signIn();
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    EXPECT_EQ(box("lblcall")->text(), "1001") << "the sign-in keeps the number in the box";
    clock->steady += std::chrono::seconds(50);
    engine().events.Status(kIdleText);
    QCoreApplication::processEvents();
    EXPECT_EQ(connects(engine()), 1) << "registered within a minute of the sign-in: dialled";

    // Registration fails and its retry succeeds more than a minute later.
    control->imgDiscon_Click();
    engine().events.Status(u"Number is not registered.");
    ASSERT_EQ(control->dialNumber(QStringLiteral("1002")), LinkDial::Waiting);
    clock->steady += std::chrono::seconds(61);
    engine().events.Status(kIdleText);
    QCoreApplication::processEvents();
    EXPECT_EQ(connects(engine()), 1) << "too late: nobody waits for this call any more";
    EXPECT_EQ(box("lblcall")->text(), "1002") << "the number stays in the box";
    EXPECT_TRUE(control->pendingNumber().isEmpty());
    engine().events.Status(u"Number is not registered.");
    engine().events.Status(kIdleText);
    QCoreApplication::processEvents();
    EXPECT_EQ(connects(engine()), 1);
}

TEST_F(CallLinksTest, WhatTheUserTypesOrKeysInIsNeitherOverwrittenNorDialledOnItsOwn) {
    start();
    signIn();
    deliverLoginCode("sippw", ",127.0.0.1,5060");
    engine().events.Status(u"Line 1 is registering.");
    ASSERT_EQ(control->dialNumber(QStringLiteral("1001")), LinkDial::Waiting);
    QTest::keyClick(box("lblcall"), Qt::Key_Backspace);
    QTest::keyClicks(box("lblcall"), QStringLiteral("7"));
    EXPECT_TRUE(control->pendingNumber().isEmpty());
    engine().events.Status(kIdleText);
    QCoreApplication::processEvents();
    EXPECT_EQ(box("lblcall")->text(), "1007");
    EXPECT_EQ(connects(engine()), 0);

    engine().events.Status(u"Line 1 is registering.");
    ASSERT_EQ(control->dialNumber(QStringLiteral("1002")), LinkDial::Waiting);
    button("ImgNumber_5")->click();
    engine().events.Status(kIdleText);
    QCoreApplication::processEvents();
    EXPECT_EQ(box("lblcall")->text(), "10025");
    EXPECT_EQ(connects(engine()), 0);
}

}  // namespace
}  // namespace pelex::control::testing
