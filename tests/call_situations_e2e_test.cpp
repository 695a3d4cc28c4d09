// What real calls bring, end to end: the phone control on liblinphone
// against Kamailio and a baresip peer, each situation checked by what the
// user sees and, where it matters, by what the peer saw.
#include <gtest/gtest.h>

#include "control/wave_sounds.h"
#include "tests/rig/phone_fixture.h"
#include "tests/rig/scoped_env.h"

namespace pelex::testing {
namespace {

using namespace std::chrono_literals;
using control::kRingBackSound;
using control::kRingSound;
using Audio = platform::testing::RecordingAudioOutput;

class CallSituations : public PhoneOnRig {
protected:
    /// The phone calls 1001, which the peer leaves ringing (manual answer mode).
    void callTheManualPeerAndLetItRing() {
        startRig({.peerAnswer = "manual"});
        signInAndWaitUntilReady();
        dial("1001");
        ASSERT_TRUE(waitForPeer("CALL_INCOMING", "1001", 10s));
        ASSERT_TRUE(waitFor([&] { return callStatus() == "Ringing"; }, 5s));
        // The ring-back sounds every two seconds while the called party is alerted.
        ASSERT_TRUE(waitFor([&] { return alertsPlayed(kRingBackSound) >= 1; }, 5s));
    }
    /// Every alert that was started has been cut off again, and none sounds on.
    void expectAlertsEnded() {
        ASSERT_FALSE(audio->log.empty());
        EXPECT_EQ(audio->log.back(), Audio::Stop);
        EXPECT_FALSE(timer("tmrProcessing")->isActive());
        EXPECT_FALSE(timer("tmrRingRing")->isActive());
        const auto played = audio->played.size();
        pump(2500ms);
        EXPECT_EQ(audio->played.size(), played) << "an alert went on after the call ended";
    }
    /// The call has ended: the line is ready again and shows the outcome.
    void expectIdleWith(const QString& outcome) {
        EXPECT_EQ(display(), kIdleLine);
        EXPECT_EQ(callStatus(), outcome);
        EXPECT_FALSE(timerShown());
        EXPECT_TRUE(boxes->shown.empty());
    }
};

// ---- Outgoing calls ----

TEST_F(CallSituations, PeerAnswersTalksAndHangsUp) {
    startRig();
    signInAndWaitUntilReady();
    dial("1001");
    ASSERT_TRUE(waitForEvent("Status Line 1 CONNECTED", 10s));
    EXPECT_TRUE(log.has("Status INPROGRESS"));
    EXPECT_TRUE(timerShown());
    // "HH:MM:SS" compares as text: the timer has counted to two seconds or on.
    ASSERT_TRUE(waitFor([&] { return text("lbltimer") >= "00:00:02"; }, 5s)) << "the call timer counts";
    ASSERT_TRUE(waitForPeer("CALL_ESTABLISHED", "1001", 5s));

    peer->send("hangup");  // BYE from the peer
    ASSERT_TRUE(waitForEvent("CallDisconnect", 5s));
    EXPECT_TRUE(log.has("Status Line 1 DISCONNECTED"));
    EXPECT_EQ(display(), kIdleLine);
    EXPECT_FALSE(timerShown());
    EXPECT_FALSE(timer("CorvoTimer")->isActive());
    // The line dials again.
    dial("1001");
    EXPECT_TRUE(waitForPeer("CALL_ESTABLISHED", "1001", 10s) && waitFor([&] {
        return std::count(log.lines.begin(), log.lines.end(), "Status Line 1 CONNECTED") == 2;
    }, 10s));
}

TEST_F(CallSituations, BusyPeerEndsTheCallWithItsAnswerAndStopsTheRingBack) {
    callTheManualPeerAndLetItRing();
    peer->send("hangup");  // the peer rejects: 486
    ASSERT_TRUE(waitForEvent("CallDisconnect", 5s));
    EXPECT_TRUE(waitFor([&] { return SipRig::registrarLog().find("rig: reply 486 Rejected to INVITE by 1001") != std::string::npos; }, 2s))
        << SipRig::registrarLog();
    expectIdleWith(QStringLiteral("Rejected"));  // the peer's own reason phrase
    expectAlertsEnded();
}

TEST_F(CallSituations, DeclinedCallShowsDecline) {
    startRig();
    signInAndWaitUntilReady();
    dial("1603");  // the registrar declines calls to this number with 603
    ASSERT_TRUE(waitForEvent("CallDisconnect", 10s));
    expectIdleWith(QStringLiteral("Decline"));
}

TEST_F(CallSituations, UnknownNumberShowsNotFound) {
    startRig();
    signInAndWaitUntilReady();
    dial("1999");
    ASSERT_TRUE(waitForEvent("CallDisconnect", 10s));
    expectIdleWith(QStringLiteral("Not Found"));
}

TEST_F(CallSituations, UnansweredCallHungUpByTheUserIsCancelledAtThePeer) {
    callTheManualPeerAndLetItRing();
    button("imgDiscon")->click();
    EXPECT_EQ(display(), kIdleLine) << "the line is free at once";
    ASSERT_TRUE(waitForPeer("CALL_CLOSED", "1001", 5s));
    EXPECT_NE(SipRig::registrarLog().find("rig: CANCEL from 1000 to 1001"), std::string::npos)
        << SipRig::registrarLog();
    expectAlertsEnded();
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(CallSituations, ServiceCodesWithStarAndHashReachTheServerIntact) {
    startRig();
    signInAndWaitUntilReady();
    dial("*31#1001");
    ASSERT_TRUE(waitForEvent("CallDisconnect", 10s)) << "the registrar knows no such user and says so";
    const std::string registrar = SipRig::registrarLog();
    EXPECT_NE(registrar.find("request line sip:*31%231001@"), std::string::npos) << registrar;
    EXPECT_NE(registrar.find("user [*31#1001]"), std::string::npos) << registrar;
    EXPECT_TRUE(boxes->shown.empty());
}

// ---- Incoming calls ----

TEST_F(CallSituations, CallerGivesUpBeforeTheAnswerAndTheRingStops) {
    startRig();
    signInAndWaitUntilReady();
    peerCallsThePhone();
    ASSERT_TRUE(waitFor([&] { return display() == "Line 1 INCOMING 1001"; }, 10s));
    EXPECT_TRUE(log.has("Ringing"));
    EXPECT_TRUE(timer("tmrRingRing")->isActive());
    ASSERT_TRUE(waitFor([&] { return alertsPlayed(kRingSound) >= 1; }, 5s)) << "the phone rings";
    peer->send("hangup");  // CANCEL
    ASSERT_TRUE(waitForEvent("CallDisconnect", 5s));
    EXPECT_EQ(display(), kIdleLine);
    expectAlertsEnded();
}

TEST_F(CallSituations, ACallNobodyAnswersEndsAtTheRingBoundAsIfTheCallerGaveUp) {
    // The bound (300 s for a user) shortened to three seconds for the test.
    const ScopedEnv bound("PELEX_SIP_RING_BOUND", "3");
    startRig();
    signInAndWaitUntilReady();
    peerCallsThePhone();
    ASSERT_TRUE(waitFor([&] { return display() == "Line 1 INCOMING 1001"; }, 10s));
    ASSERT_TRUE(waitFor([&] { return alertsPlayed(kRingSound) >= 1; }, 5s)) << "the phone rings";
    // What the host keeps as a missed call: the offer ends by itself, with
    // the same event and line as when the caller gives up.
    ASSERT_TRUE(waitForEvent("CallDisconnect", 10s));
    EXPECT_EQ(display(), kIdleLine);
    ASSERT_TRUE(waitForPeer("CALL_CLOSED", "1001", 5s));
    EXPECT_NE(peerParam("CALL_CLOSED", "1001").find("480"), std::string::npos) << peerParam("CALL_CLOSED", "1001");
    expectAlertsEnded();
}

TEST_F(CallSituations, UserRejectsAnIncomingCallAndTheRingStops) {
    startRig();
    signInAndWaitUntilReady();
    peerCallsThePhone();
    ASSERT_TRUE(waitFor([&] { return alertsPlayed(kRingSound) >= 1; }, 10s)) << "the phone rings";
    button("imgDiscon")->click();
    EXPECT_EQ(display(), kIdleLine);
    ASSERT_TRUE(waitForPeer("CALL_CLOSED", "1001", 5s));
    EXPECT_NE(peerParam("CALL_CLOSED", "1001").find("603"), std::string::npos) << peerParam("CALL_CLOSED", "1001");
    expectAlertsEnded();
}

TEST_F(CallSituations, UnansweredIncomingCallRingsForMoreThanAMinuteAndCanStillBeAnswered) {
    startRig();
    signInAndWaitUntilReady();
    peerCallsThePhone();
    ASSERT_TRUE(waitFor([&] { return display() == "Line 1 INCOMING 1001"; }, 10s));
    pump(65s);
    EXPECT_EQ(display(), "Line 1 INCOMING 1001") << "still offered";
    EXPECT_FALSE(peer->has("CALL_CLOSED", "1001")) << peerParam("CALL_CLOSED", "1001");
    EXPECT_GE(alertsPlayed(kRingSound), 30) << "a ring every two seconds all along";
    button("imgCall")->click();
    ASSERT_TRUE(waitForEvent("Status Line 1 CONNECTED", 5s));
    EXPECT_TRUE(waitForPeer("CALL_ESTABLISHED", "1001", 5s));
    EXPECT_EQ(audio->log.back(), Audio::Stop);
    button("imgDiscon")->click();
    EXPECT_TRUE(waitForPeer("CALL_CLOSED", "1001", 5s));
}

TEST_F(CallSituations, SecondCallerDuringACallGetsBusyAndTheFirstCallCanStillBeHungUp) {
    startRig();
    signInAndWaitUntilReady();
    peerCallsThePhone("1001");
    ASSERT_TRUE(waitFor([&] { return display() == "Line 1 INCOMING 1001"; }, 10s));
    button("imgCall")->click();
    ASSERT_TRUE(waitForEvent("Status Line 1 CONNECTED", 5s));
    ASSERT_TRUE(waitForPeer("CALL_ESTABLISHED", "1001", 5s));

    peerCallsThePhone("1002");
    ASSERT_TRUE(waitForPeer("CALL_CLOSED", "1002", 10s));
    EXPECT_NE(peerParam("CALL_CLOSED", "1002").find("486"), std::string::npos) << peerParam("CALL_CLOSED", "1002");
    EXPECT_NE(SipRig::registrarLog().find("rig: reply 486 Busy here to INVITE by 1000"), std::string::npos) << SipRig::registrarLog();
    EXPECT_EQ(display(), "Line 1 CONNECTED") << "the line still shows the first call";
    EXPECT_FALSE(log.has("Status Line 1 INCOMING 1002"));
    EXPECT_TRUE(timerShown());

    button("imgDiscon")->click();
    ASSERT_TRUE(waitForPeer("CALL_CLOSED", "1001", 5s));
    EXPECT_EQ(display(), kIdleLine);
}

TEST_F(CallSituations, FarEndTransferBecomesTheCurrentCallWhichTheUserCanHangUp) {
    startRig();
    signInAndWaitUntilReady();
    dial("1001");
    ASSERT_TRUE(waitForPeer("CALL_ESTABLISHED", "1001", 10s));
    ASSERT_TRUE(waitForEvent("Status Line 1 CONNECTED", 5s));
    peer->send("uafind", "sip:1001@" + SipRig::serverAddress());
    peer->send("transfer", "sip:1002@" + SipRig::serverAddress());  // REFER to the phone
    ASSERT_TRUE(waitForPeer("CALL_ESTABLISHED", "1002", 10s)) << "the phone called the transfer target";
    ASSERT_TRUE(waitForEvent("Status Line 1 HAS BEEN TRANSFERED", 5s));
    ASSERT_TRUE(waitForPeer("CALL_CLOSED", "1001", 10s)) << "the transferring party left";
    ASSERT_TRUE(waitFor([&] { return display() == "Line 1 CONNECTED"; }, 5s)) << display().toStdString();
    EXPECT_TRUE(timerShown());
    EXPECT_TRUE(timer("CorvoTimer")->isActive());

    button("imgDiscon")->click();
    ASSERT_TRUE(waitForPeer("CALL_CLOSED", "1002", 5s)) << "the hang-up button ended the new call";
    EXPECT_EQ(display(), kIdleLine);
    pump(500ms);
    EXPECT_EQ(display(), kIdleLine);
}

// The stack holds the call while it calls the transfer target; when that
// call fails, the held call is the line's call again until it ends. The peer
// (baresip) hangs up on a failed transfer, so the line ends idle, but only
// once no call is left: it never shows idle while the held call lives, nor
// the held call after showing idle.
TEST_F(CallSituations, FarEndTransferThatFailsShowsTheCallUntilNoCallIsLeft) {
    startRig();
    signInAndWaitUntilReady();
    // The registrar declines calls to 1603 (603) and knows no 1999 (404).
    for (const std::string target : {"1603", "1999"}) {
        peer->clear();
        dial("1001");
        ASSERT_TRUE(waitForPeer("CALL_ESTABLISHED", "1001", 10s)) << target;
        ASSERT_TRUE(waitForEvent("Status Line 1 CONNECTED", 5s)) << target;
        log.lines.clear();
        peer->send("uafind", "sip:1001@" + SipRig::serverAddress());
        peer->send("transfer", "sip:" + target + "@" + SipRig::serverAddress());
        ASSERT_TRUE(waitForEvent("Status Line 1 HAS BEEN TRANSFERED", 5s)) << target;
        ASSERT_TRUE(waitForPeer("TRANSFER_FAILED", "1001", 10s)) << target;
        ASSERT_TRUE(waitForEvent("CallDisconnect", 10s)) << target;
        pump(1s);
        std::string shown;
        for (const auto& line : log.lines) shown += "\n  " + line;
        EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "CallDisconnect"), 1) << target << shown;
        EXPECT_EQ(log.lines.back(), "CallDisconnect") << target << ": nothing shows after the line is idle" << shown;
        EXPECT_EQ(display(), kIdleLine) << target;
        EXPECT_FALSE(timerShown()) << target;
    }
}

TEST_F(CallSituations, FarEndTransferToARingingNumberPlaysTheRingBackUntilItAnswers) {
    startRig({.peerAnswer = "manual"});
    signInAndWaitUntilReady();
    dial("1002");  // answers by itself
    ASSERT_TRUE(waitForPeer("CALL_ESTABLISHED", "1002", 10s));
    ASSERT_TRUE(waitForEvent("Status Line 1 CONNECTED", 5s));
    peer->send("uafind", "sip:1002@" + SipRig::serverAddress());
    peer->send("transfer", "sip:1001@" + SipRig::serverAddress());  // 1001 rings until told to answer
    ASSERT_TRUE(waitForPeer("CALL_INCOMING", "1001", 10s));
    const auto played = alertsPlayed(kRingBackSound);
    ASSERT_TRUE(waitFor([&] { return alertsPlayed(kRingBackSound) >= played + 2; }, 6s))
        << "no ring-back while the transfer target rings; call status: " << callStatus().toStdString();
    EXPECT_EQ(callStatus(), "Ringing");
    peer->send("uafind", "sip:1001@" + SipRig::serverAddress());
    peer->send("accept");
    ASSERT_TRUE(waitForPeer("CALL_ESTABLISHED", "1001", 5s));
    ASSERT_TRUE(waitForPeer("CALL_CLOSED", "1002", 10s)) << "the transferring party left";
    ASSERT_TRUE(waitFor([&] { return display() == "Line 1 CONNECTED"; }, 5s)) << display().toStdString();
    expectAlertsEnded();
    button("imgDiscon")->click();
    ASSERT_TRUE(waitForPeer("CALL_CLOSED", "1001", 5s));
    EXPECT_EQ(display(), kIdleLine);
}

TEST_F(CallSituations, FarEndHoldsAndResumes) {
    startRig();
    signInAndWaitUntilReady();
    dial("1001");
    ASSERT_TRUE(waitForPeer("CALL_ESTABLISHED", "1001", 10s));
    ASSERT_TRUE(waitForEvent("Status Line 1 CONNECTED", 5s));
    log.lines.clear();
    peer->send("uafind", "sip:1001@" + SipRig::serverAddress());
    peer->send("hold");
    ASSERT_TRUE(waitFor([&] { return display() == "Line 1 ON HOLD"; }, 5s)) << display().toStdString();
    peer->send("resume");
    ASSERT_TRUE(waitFor([&] { return display() == "Line 1 CONNECTED"; }, 5s)) << display().toStdString();
    EXPECT_TRUE(timerShown());
    button("imgDiscon")->click();
    EXPECT_TRUE(waitForPeer("CALL_CLOSED", "1001", 5s));
}

}  // namespace
}  // namespace pelex::testing
