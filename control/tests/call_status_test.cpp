// Call status: every engine event on the display, the timers, the call
// timer's texts and the two alert sounds.

#include <QSignalSpy>

#include <functional>

#include "control/tests/control_harness.h"
#include "control/wave_sounds.h"

namespace pelex::control::testing {
namespace {

class CallStatusTest : public ControlTest {
protected:
    void SetUp() override {
        start();
        signIn();
        deliverLoginCode("sippw", ",127.0.0.1,5060");
    }
    CallEngineEvents& events() { return engine().events; }
    std::vector<std::byte> sound(int id) {
        const auto w = waveResource(id);
        return {w.begin(), w.end()};
    }
};

TEST_F(CallStatusTest, RegistrationTextsThenIdleAndTheAccountNumber) {
    events().Status(u"Line 1 is registering.");
    EXPECT_EQ(text("lblDisplay"), "Line 1 is registering.");
    events().Status(u"Line 1 is initialized and ready to make/receive calls.");
    EXPECT_EQ(text("lblDisplay"), "Line 1 is initialized and ready to make/receive calls.");
    EXPECT_TRUE(text("lblNumber").isEmpty());
    events().RegOK(2);
    EXPECT_EQ(text("lblNumber"), "1000");
    EXPECT_TRUE(boxes->shown.empty());
}

// One answer for the call button, the call links and the host: what the
// display says, and not ready at all while signed out.
TEST_F(CallStatusTest, TheLineStateFollowsTheDisplayAndTheSignIn) {
    EXPECT_EQ(control->lineState(), LineState::NotReady) << "signed in, nothing shown yet";
    events().Status(u"Line 1 is registering.");
    EXPECT_EQ(control->lineState(), LineState::NotReady);
    events().Status(kIdleText);
    EXPECT_EQ(control->lineState(), LineState::Idle);
    events().Status(u"Line 1 INCOMING 1001");
    EXPECT_EQ(control->lineState(), LineState::Incoming);
    for (const char16_t* busy : {u"INPROGRESS", u"Line 1 CONNECTED", u"Line 1 ON HOLD", u"Line 1 INCOMIN", u"line 1 incoming"}) {
        events().Status(busy);
        EXPECT_EQ(control->lineState(), LineState::Busy) << QString::fromStdU16String(busy).toStdString();
    }
    for (const char16_t* notReady : {u"Line 1 is waiting for the network.", u"Number is rejected.",
                                     u"Number is not registered.", u"Signing Out..."}) {
        events().Status(notReady);
        EXPECT_EQ(control->lineState(), LineState::NotReady) << QString::fromStdU16String(notReady).toStdString();
    }
    events().Status(kIdleText);
    events().SignOut();
    EXPECT_EQ(control->lineState(), LineState::NotReady) << "the idle text under the sign-in panel";
    EXPECT_EQ(lineStateOf(kIdleText), LineState::Idle) << "the text alone";
}

TEST_F(CallStatusTest, FailedRegistrationShowsEachTextInABoxAndTheNumberAllTheSame) {
    events().Status(u"Number is rejected.");
    events().RegFail(u"Number is rejected.");
    events().Status(u"Number is not registered.");
    events().RegFail(u"Number is not registered.");
    events().RegOK(3);
    ASSERT_EQ(boxes->shown.size(), 2u);
    EXPECT_EQ(boxes->shown[0].text, u"Number is rejected.");
    EXPECT_EQ(boxes->shown[1].text, u"Number is not registered.");
    EXPECT_EQ(boxes->shown[0].title, u"PelexMSN");
    EXPECT_EQ(text("lblDisplay"), "Number is not registered.");
    EXPECT_EQ(text("lblNumber"), "1000");
    EXPECT_TRUE(child("imgLogin")->isVisibleTo(child("picLoginForm")));
    EXPECT_FALSE(shown("picLoginForm"));  // stays hidden until a sign-out
}

TEST_F(CallStatusTest, OutgoingCallRingBackTimerAndDisconnect) {
    events().SessionStateText(u"");
    events().Status(u"INPROGRESS");
    events().Processing();
    EXPECT_TRUE(timer("tmrProcessing")->isActive());
    control->tmrProcessing_Timer();
    EXPECT_TRUE(audio->played.empty());  // not alerted yet
    events().SessionStateText(u"Ringing");
    EXPECT_EQ(text("lblCallStatus"), "Ringing");
    control->tmrProcessing_Timer();
    control->tmrProcessing_Timer();
    ASSERT_EQ(audio->played.size(), 2u);
    EXPECT_EQ(audio->played[0], sound(kRingBackSound));
    EXPECT_EQ(audio->uses[0], platform::SoundUse::RingBack) << "part of the call, on its speaker";

    events().Status(u"Line 1 CONNECTED");
    events().Answered();
    EXPECT_FALSE(timer("tmrProcessing")->isActive());
    events().Connected();
    events().SessionStateText(u"");
    EXPECT_TRUE(shown("lbltimer"));
    EXPECT_EQ(text("lbltimer"), "00:00:00");
    EXPECT_TRUE(timer("CorvoTimer")->isActive());

    events().Status(u"Line 1 DISCONNECTED");
    events().CallDisconnect();
    EXPECT_EQ(text("lblDisplay"), "Line 1 is initialized and ready to make/receive calls.");
    EXPECT_FALSE(shown("lbltimer"));
    for (const char* name : {"tmrRingRing", "tmrProcessing", "CorvoTimer"}) EXPECT_FALSE(timer(name)->isActive());
}

TEST_F(CallStatusTest, RingBackOnlyForExactlyRinging) {
    for (const char16_t* t : {u"ringing", u"Ringing ", u"Session Progress", u""}) {
        events().SessionStateText(t);
        control->tmrProcessing_Timer();
    }
    EXPECT_TRUE(audio->played.empty());
}

TEST_F(CallStatusTest, IncomingRingPlaysTheRingSoundUntilAnswered) {
    events().Status(u"Line 1 INCOMING 1001");
    events().Ringing();
    EXPECT_TRUE(timer("tmrRingRing")->isActive());
    control->tmrRingRing_Timer();
    ASSERT_EQ(audio->played.size(), 1u);
    EXPECT_EQ(audio->played[0], sound(kRingSound));
    EXPECT_EQ(audio->uses[0], platform::SoundUse::Ring) << "an alert, where the desktop's alerts sound";
    events().CallDisconnect();
    EXPECT_FALSE(timer("tmrRingRing")->isActive());
}

// Answer, reject (hang-up) and the caller giving up each end the ring at
// once: the timer stops and a ring still sounding is cut off.
TEST_F(CallStatusTest, AnswerRejectAndCancelEachStopTheRingAtOnce) {
    using Audio = platform::testing::RecordingAudioOutput;
    const std::vector<std::function<void()>> endings = {
        [&] { button("imgCall")->click(); },     // answer
        [&] { button("imgDiscon")->click(); },   // reject
        [&] { events().CallDisconnect(); },      // the caller gave up
    };
    for (const auto& end : endings) {
        audio->log.clear();
        events().Status(u"Line 1 INCOMING 1001");
        events().Ringing();
        control->tmrRingRing_Timer();
        end();
        EXPECT_FALSE(timer("tmrRingRing")->isActive());
        EXPECT_EQ(audio->log, (std::vector<Audio::Action>{Audio::Play, Audio::Stop}));
        events().CallDisconnect();
    }
    // Nothing is cut off when no ring is sounding (a silent alert is not stopped twice).
    audio->log.clear();
    events().CallDisconnect();
    EXPECT_TRUE(audio->log.empty());
}

// The host is told of every change of the line; a call that stops being
// offered without the user answering or declining it is a missed call.
TEST_F(CallStatusTest, OnlyAnOfferedCallTheUserDidNotDealWithIsMissed) {
    QSignalSpy line(control.get(), &Pelex_MSN::lineChanged);
    QSignalSpy missed(control.get(), &Pelex_MSN::callMissed);
    events().Status(u"Line 1 INCOMING 1001");
    EXPECT_EQ(line.size(), 1);
    EXPECT_EQ(control->lineState(), LineState::Incoming);
    EXPECT_EQ(control->offeringCaller(), "1001");
    events().Status(u"Line 1 DISCONNECTED");  // the caller gave up
    events().CallDisconnect();
    ASSERT_EQ(missed.size(), 1);
    EXPECT_EQ(missed[0][0].toString(), "1001");
    EXPECT_EQ(control->lineState(), LineState::Idle);
    EXPECT_TRUE(control->offeringCaller().isEmpty());

    const std::vector<std::function<void()>> dealtWith = {
        [&] { button("imgCall")->click(); },    // answered
        [&] { button("imgDiscon")->click(); },  // declined
        [&] { control->imgOption_Click(); },    // signed out
    };
    for (const auto& deal : dealtWith) {
        events().Status(u"Line 1 INCOMING 1002");
        deal();
        events().Status(u"Line 1 DISCONNECTED");
        events().CallDisconnect();
    }
    EXPECT_EQ(missed.size(), 1);

    // A second offer taking the place of the first: the first was missed.
    events().Status(u"Line 1 INCOMING 1003");
    events().Status(u"Line 1 INCOMING 1004");
    ASSERT_EQ(missed.size(), 2);
    EXPECT_EQ(missed[1][0].toString(), "1003");
    EXPECT_EQ(control->offeringCaller(), "1004");
}

TEST_F(CallStatusTest, TheCalledPartyAnsweringCutsTheRingBackOff) {
    using Audio = platform::testing::RecordingAudioOutput;
    events().Processing();
    events().SessionStateText(u"Ringing");
    control->tmrProcessing_Timer();
    events().Answered();
    EXPECT_FALSE(timer("tmrProcessing")->isActive());
    EXPECT_EQ(audio->log, (std::vector<Audio::Action>{Audio::Play, Audio::Stop}));
}

TEST_F(CallStatusTest, FirstCallOfTheControlZeroesOnItsFirstTickLaterCallsCountAtOnce) {
    events().Connected();
    EXPECT_FALSE(control->callTimeStarted());
    control->CorvoTimer_Timer();
    EXPECT_EQ(text("lbltimer"), "00:00:00");
    EXPECT_TRUE(control->callTimeStarted());
    control->CorvoTimer_Timer();
    EXPECT_EQ(text("lbltimer"), "00:00:01");
    events().CallDisconnect();

    events().Connected();
    EXPECT_EQ(text("lbltimer"), "00:00:00");
    control->CorvoTimer_Timer();
    EXPECT_EQ(text("lbltimer"), "00:00:01");
}

TEST_F(CallStatusTest, EveryTickSendsTheFlashToneAndAnHourTwoMinutesFiveSecondsReads010205) {
    events().Connected();
    engine().calls.clear();
    control->CorvoTimer_Timer();  // the first tick of the control's life zeroes
    for (int i = 0; i < 3725; ++i) control->CorvoTimer_Timer();
    EXPECT_EQ(text("lbltimer"), "01:02:05");
    EXPECT_EQ(control->callTime(), 3725);
    const auto keys = engine().keys();
    EXPECT_EQ(keys.size(), 3726u);
    EXPECT_TRUE(std::all_of(keys.begin(), keys.end(), [](int k) { return k == 12; }));
}

TEST_F(CallStatusTest, TickWithoutAnEngineStillUpdatesTheTimer) {
    button("imgLogin")->click();  // releases the engine
    control->CorvoTimer_Timer();
    control->CorvoTimer_Timer();
    EXPECT_EQ(text("lbltimer"), "00:00:01");
}

TEST_F(CallStatusTest, IdleStatusKeepsTheControlsExtent) {
    control->setFixedSize(10, 10);
    events().Status(u"Line 1 is initialized and ready to make/receive calls.");
    const double perTwip = control->logicalDpiX() / 1440.0;
    EXPECT_EQ(control->size(), QSize(qRound(3150 * perTwip), qRound(5566 * perTwip)));
}

TEST_F(CallStatusTest, EventsOfAReleasedEngineNoLongerReachTheDisplay) {
    ScriptedEngine& old = engine();
    events().Status(u"Line 1 is initialized and ready to make/receive calls.");
    button("imgLogin")->click();
    old.events.Status(u"Line 1 CONNECTED");  // the released engine, before it is destroyed
    EXPECT_EQ(text("lblDisplay"), "Line 1 is initialized and ready to make/receive calls.");
}

}  // namespace
}  // namespace pelex::control::testing
