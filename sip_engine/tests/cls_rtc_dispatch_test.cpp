// Event dispatch: registration, session states and media.
#include <chrono>

#include "sip_engine/tests/engine_fixture.h"

namespace pelex::sip_engine::testing {
namespace {

using rtc::RegistrationState;
using rtc::SessionState;

TEST_F(EngineTest, RegisteredShowsReadyAndRegOK2) {
    started();
    client->fireRegistration(RegistrationState::Registering);
    client->fireRegistration(RegistrationState::Registered);
    EXPECT_EQ(events.raised, (Calls{"Status Line 1 is registering.",
                                    "Status Line 1 is initialized and ready to make/receive calls.", "RegOK 2"}));
    EXPECT_FALSE(timers.anyActive());
}

TEST_F(EngineTest, RejectedRaisesBothFailureTextsRejectedFirst) {
    started();
    client->fireRegistration(RegistrationState::Rejected);
    EXPECT_EQ(events.raised, (Calls{"Status Number is rejected.", "RegFail Number is rejected.",
                                    "Status Number is not registered.", "RegFail Number is not registered.",
                                    "RegOK 3"}));
}

TEST_F(EngineTest, ErrorAndNotRegisteredAndUnregisteringReportNotRegistered) {
    started();
    for (auto state : {RegistrationState::Error, RegistrationState::NotRegistered, RegistrationState::Unregistering}) {
        engine->ReregisterProfile();  // each outcome as the first of a registration
        events.raised.clear();
        client->fireRegistration(state);
        EXPECT_EQ(events.raised, (Calls{"Status Number is not registered.", "RegFail Number is not registered.",
                                        "RegOK " + std::to_string(static_cast<int>(state))}));
    }
}

TEST_F(EngineTest, RegistrationReadsTheEnginesOwnProfile) {
    started();
    client->fireRegistration(RegistrationState::Registered);
    // Once for the settled test, then once for each of the four outcome steps.
    EXPECT_EQ(std::count(calls().begin(), calls().end(), "Profile.State"), 5);
}

TEST_F(EngineTest, RegistrationWaitIsEventDrivenAndBounded) {
    started();
    engine->RegistrationTimeout = std::chrono::seconds(20);
    client->fireRegistration(RegistrationState::Registering);
    client->fireRegistration(RegistrationState::Registering);
    EXPECT_TRUE(timers.anyActive());
    EXPECT_EQ(timers.lastDelay(), std::chrono::seconds(20));
    EXPECT_EQ(events.raised, (Calls{"Status Line 1 is registering.", "Status Line 1 is registering."}));

    calls().clear();
    events.raised.clear();
    timers.fireAll();
    EXPECT_TRUE(calls().empty()) << "the profile stays enabled: the stack keeps trying";
    EXPECT_EQ(events.raised, (Calls{"Status Number is not registered.", "RegFail Number is not registered.",
                                    "RegOK 5"}));
    // The stack's later attempts and failures are not shown again...
    events.raised.clear();
    client->fireRegistration(RegistrationState::Error);
    client->fireRegistration(RegistrationState::Registering);
    client->fireRegistration(RegistrationState::NotRegistered);
    client->fireRegistration(RegistrationState::Registering);
    EXPECT_TRUE(events.raised.empty());
    EXPECT_FALSE(timers.anyActive()) << "only the first registration has a bounded wait";
    // ...but its success is.
    client->fireRegistration(RegistrationState::Registered);
    EXPECT_EQ(events.raised,
              (Calls{"Status Line 1 is initialized and ready to make/receive calls.", "RegOK 2"}));
}

TEST_F(EngineTest, AfterTheFirstOutcomeOnlyAChangeOfOutcomeIsShownOnce) {
    started();
    client->fireRegistration(RegistrationState::Registered);
    events.raised.clear();
    // Refreshes of a good registration are silent.
    client->fireRegistration(RegistrationState::Registering);
    client->fireRegistration(RegistrationState::Registered);
    EXPECT_TRUE(events.raised.empty());
    // The registration is lost (the server went away): one box, then silence
    // while the stack retries.
    client->fireRegistration(RegistrationState::Error);
    client->fireRegistration(RegistrationState::Registering);
    client->fireRegistration(RegistrationState::Error);
    EXPECT_EQ(events.raised, (Calls{"Status Number is not registered.", "RegFail Number is not registered.",
                                    "RegOK 5"}));
    // The server refuses the password now: that is final and is shown.
    events.raised.clear();
    client->fireRegistration(RegistrationState::Rejected);
    EXPECT_EQ(events.raised.front(), "Status Number is rejected.");
    EXPECT_EQ(events.raised.back(), "RegOK 3");
}

TEST_F(EngineTest, ARegistrationChangeDuringACallIsShownWhenTheCallEnds) {
    auto call = connectedIncomingCall();
    client->fireRegistration(RegistrationState::Error);
    EXPECT_TRUE(events.raised.empty()) << "the line keeps showing the call";
    client->fireSessionState(call, SessionState::Disconnected);
    EXPECT_EQ(std::vector<std::string>(events.raised.end() - 3, events.raised.end()),
              (Calls{"Status Number is not registered.", "RegFail Number is not registered.", "RegOK 5"}));
    // A change that was undone before the call ended shows nothing.
    client->fireRegistration(RegistrationState::Registered);
    call = client->fireIncoming(u"sip:1001@10.0.0.5");
    engine->Answer();
    client->fireSessionState(call, SessionState::Connected);
    client->fireRegistration(RegistrationState::Error);
    client->fireRegistration(RegistrationState::Registered);
    events.raised.clear();
    client->fireSessionState(call, SessionState::Disconnected);
    EXPECT_EQ(events.raised.back(), "CallConnect true");
}

TEST_F(EngineTest, WithoutANetworkTheLineSaysSoWithoutABoxAndShowsReadyOnceRegisteredAgain) {
    started();
    client->fireRegistration(RegistrationState::Registered);
    events.raised.clear();
    client->fireClientEvent(rtc::ClientEventType::NetworkUnavailable);
    // The stack drops the registration it cannot keep, and fails to renew it.
    client->fireRegistration(RegistrationState::NotRegistered);
    client->fireRegistration(RegistrationState::Error);
    EXPECT_EQ(events.raised, (Calls{"Status Line 1 is waiting for the network."}));
    events.raised.clear();
    client->fireClientEvent(rtc::ClientEventType::NetworkAvailable);
    client->fireRegistration(RegistrationState::Registering);
    client->fireRegistration(RegistrationState::Registered);
    EXPECT_EQ(events.raised, (Calls{"Status Line 1 is registering.",
                                    "Status Line 1 is initialized and ready to make/receive calls.", "RegOK 2"}));
    // A network that is back but a server that does not answer is a failure as ever.
    client->fireClientEvent(rtc::ClientEventType::NetworkUnavailable);
    client->fireClientEvent(rtc::ClientEventType::NetworkAvailable);
    events.raised.clear();
    client->fireRegistration(RegistrationState::Error);
    EXPECT_EQ(events.raised, (Calls{"Status Number is not registered.", "RegFail Number is not registered.",
                                    "RegOK 5"}));
}

TEST_F(EngineTest, SigningInWithoutANetworkWaitsForItInsteadOfFailing) {
    started();
    client->fireClientEvent(rtc::ClientEventType::NetworkUnavailable);
    EXPECT_FALSE(timers.anyActive()) << "no registration wait runs out while there is no network";
    client->fireRegistration(RegistrationState::NotRegistered);
    EXPECT_EQ(events.raised, (Calls{"Status Line 1 is waiting for the network."}));
    client->fireClientEvent(rtc::ClientEventType::NetworkAvailable);
    client->fireRegistration(RegistrationState::Registered);
    EXPECT_EQ(events.raised.back(), "RegOK 2");
}

TEST_F(EngineTest, ANetworkLostDuringACallIsShownInTheCallStatusAndOnTheLineWhenTheCallEnds) {
    auto call = connectedIncomingCall();
    client->fireClientEvent(rtc::ClientEventType::NetworkUnavailable);
    client->fireRegistration(RegistrationState::NotRegistered);
    EXPECT_EQ(events.raised, (Calls{"SessionStateText Waiting for the network"})) << "the line keeps the call";
    // Back before the call ended: the call goes on, the line has nothing new to show.
    client->fireClientEvent(rtc::ClientEventType::NetworkAvailable);
    client->fireRegistration(RegistrationState::Registered);
    EXPECT_EQ(events.raised.back(), "SessionStateText ");
    // Lost again, and the call ends without it.
    client->fireClientEvent(rtc::ClientEventType::NetworkUnavailable);
    client->fireRegistration(RegistrationState::NotRegistered);
    events.raised.clear();
    client->fireSessionState(call, SessionState::Disconnected, u"Call lost: no network");
    EXPECT_EQ(events.raised.front(), "SessionStateText Call lost: no network");
    EXPECT_EQ(events.raised.back(), "Status Line 1 is waiting for the network.");
    EXPECT_EQ(std::count(events.raised.begin(), events.raised.end(), "RegFail Number is not registered."), 0);
}

TEST_F(EngineTest, NothingIsReportedOnceTheUserSignsOut) {
    started();
    client->fireRegistration(RegistrationState::Registering);
    ASSERT_TRUE(timers.anyActive());
    engine->ShutDown();
    EXPECT_FALSE(timers.anyActive()) << "the registration wait ends with the sign-out";
    events.raised.clear();
    timers.fireAll();
    client->fireRegistration(RegistrationState::Error);
    client->fireRegistration(RegistrationState::Registered);
    EXPECT_TRUE(events.raised.empty());
    client->fireClientEvent(rtc::ClientEventType::AsyncCleanupDone);
    EXPECT_EQ(events.raised, (Calls{"SignOut"}));
}

TEST_F(EngineTest, DefaultRegistrationWaitIsWithinTheSipTransactionLimit) {
    EXPECT_LE(engine->RegistrationTimeout, std::chrono::seconds(32));
    EXPECT_GT(engine->RegistrationTimeout, std::chrono::seconds(0));
}

TEST_F(EngineTest, RegistrationWithoutAProfileFailsBackToTheClient) {
    client->script->failing = {"CreateProfile"};
    engine->Init();
    events.raised.clear();
    EXPECT_THROW(client->fireRegistration(RegistrationState::Registered), std::exception);
    EXPECT_TRUE(events.raised.empty());
}

TEST_F(EngineTest, RegistrationHandlerFailureEndsTheProcedure) {
    started();
    events.statusHook = [](const std::u16string&) { throw std::runtime_error("handler failed"); };
    EXPECT_THROW(client->fireRegistration(RegistrationState::Rejected), std::runtime_error);
    EXPECT_EQ(events.raised, (Calls{"Status Number is rejected."}));
}

TEST_F(EngineTest, OutgoingCallStates) {
    started();
    engine->URIher = u"1001@10.0.0.5";
    engine->HerName = u"1001";
    engine->Connect();
    auto session = client->sessions[0];
    events.raised.clear();
    client->fireSessionState(session, SessionState::InProgress, u"Trying");
    client->fireSessionState(session, SessionState::InProgress, u"Ringing");
    client->fireSessionState(session, SessionState::Connected, u"OK");
    EXPECT_EQ(events.raised,
              (Calls{"SessionStateText Trying", "Status INPROGRESS", "Processing", "CallTerminate true",
                     "CallConnect false", "SessionStateText Ringing", "Status INPROGRESS", "Processing",
                     "CallTerminate true", "CallConnect false", "SessionStateText OK", "Status Line 1 CONNECTED",
                     "Answered", "Connected", "SessionStateText "}));
    events.raised.clear();
    client->fireSessionState(session, SessionState::Hold);
    client->fireSessionState(session, SessionState::Refer);
    client->fireSessionState(session, SessionState::Idle);
    client->fireSessionState(session, SessionState::Answering, u"x");
    EXPECT_EQ(events.raised, (Calls{"SessionStateText ", "Status Line 1 ON HOLD", "SessionStateText ",
                                    "Status Line 1 HAS BEEN TRANSFERED", "SessionStateText ", "Status 1001 IDLE",
                                    "SessionStateText x", "Status Line 1 ANSWERING", "CallAnswer false"}));
    EXPECT_EQ(calls().back(), "PlayRing 0 false");
}

TEST_F(EngineTest, DisconnectClearsTheCallAndRaisesItsEvents) {
    started();
    engine->URIher = u"1001@10.0.0.5";
    engine->Connect();
    events.raised.clear();
    client->fireSessionState(client->sessions[0], SessionState::Disconnected, u"Call ended");
    EXPECT_EQ(events.raised, (Calls{"SessionStateText Call ended", "Status Line 1 DISCONNECTED", "CallDisconnect",
                                    "CallAnswer false", "CallTerminate true", "CallConnect true"}));
    EXPECT_EQ(engine->g_objSession, nullptr);
    EXPECT_EQ(engine->g_objSessionCallControl, nullptr);
}

TEST_F(EngineTest, IncomingCallIsStoredAndAnnouncedWithTheUserPart) {
    started();
    auto session = client->fireIncoming(u"sip:1001@10.0.0.5:5080");
    EXPECT_EQ(events.raised, (Calls{"SessionStateText Incoming call", "CallTerminate true", "CallConnect false",
                                    "CallAnswer true", "Status Line 1 INCOMING 1001", "IncomingCall 1001",
                                    "Ringing"}));
    EXPECT_EQ(engine->g_objSession, session);
    EXPECT_EQ(engine->userURI, u"1001");
    EXPECT_NE(engine->g_objSessionCallControl, nullptr);
}

TEST_F(EngineTest, IncomingWhileConnectedIsIgnoredAndItsEndLeavesTheCallAlone) {
    started();
    auto first = client->fireIncoming(u"sip:1001@10.0.0.5");
    engine->Answer();
    client->fireSessionState(first, SessionState::Connected);
    events.raised.clear();
    auto second = client->fireIncoming(u"sip:1002@10.0.0.5");
    EXPECT_EQ(events.raised, (Calls{"SessionStateText Incoming call"}));
    EXPECT_EQ(engine->g_objSession, first);
    EXPECT_EQ(engine->userURI, u"1001");

    events.raised.clear();
    client->fireSessionState(second, SessionState::Disconnected, u"Call ended");
    EXPECT_EQ(events.raised, (Calls{"SessionStateText Call ended"}));
    EXPECT_EQ(engine->g_objSession, first);
    // The connected call can still be hung up.
    calls().clear();
    engine->Terminate();
    EXPECT_EQ(calls(), (Calls{"Session.State", "Terminate 0"}));
}

TEST_F(EngineTest, IncomingDuringAnyCallInProgressIsTurnedAwayAsBusy) {
    started();
    for (auto current : {SessionState::InProgress, SessionState::Incoming, SessionState::Connected,
                         SessionState::Hold}) {
        engine->URIher = u"1001@10.0.0.5";
        engine->Connect();
        auto first = client->sessions.back();
        first->state = current;
        events.raised.clear();
        calls().clear();
        auto second = client->fireIncoming(u"sip:1002@10.0.0.5");
        EXPECT_EQ(engine->g_objSession, first) << static_cast<int>(current);
        EXPECT_EQ(events.raised, (Calls{"SessionStateText Incoming call"})) << static_cast<int>(current);
        EXPECT_EQ(calls().back(), "Terminate 1") << "486 Busy Here for the second caller";
        engine->g_objSession.reset();
    }
}

TEST_F(EngineTest, IncomingReplacesACurrentSessionThatNeverStarted) {
    started();
    engine->URIher = u"1001@10.0.0.5";
    engine->Connect();  // the session stays idle: the address could not be called
    auto incoming = client->fireIncoming(u"1003");
    EXPECT_EQ(engine->g_objSession, incoming);
    EXPECT_EQ(engine->userURI, u"1003");
}

TEST_F(EngineTest, ACallTheStackPlacesAfterATransferBecomesTheCurrentCall) {
    started();
    auto original = client->fireIncoming(u"sip:1001@10.0.0.5");
    engine->Answer();
    client->fireSessionState(original, SessionState::Connected);
    events.raised.clear();
    client->fireSessionState(original, SessionState::Refer);
    // The stack places the call to the transfer target by itself.
    auto placed = std::make_shared<memory::MemorySession>(client->script, SessionState::Idle);
    placed->participants.push_back(std::make_shared<memory::MemoryParticipant>(u"sip:1002@10.0.0.5"));
    client->fireSessionState(placed, SessionState::InProgress, u"Ringing");
    EXPECT_EQ(engine->g_objSession, placed);
    // What is left of the original call no longer touches the line, not
    // even its status text: the new call's "Ringing" stays (the ring-back).
    client->fireSessionState(original, SessionState::Hold);
    client->fireSessionState(original, SessionState::Disconnected);
    client->fireSessionState(placed, SessionState::Connected);
    EXPECT_EQ(events.raised,
              (Calls{"SessionStateText ", "Status Line 1 HAS BEEN TRANSFERED", "SessionStateText Ringing",
                     "Status INPROGRESS", "Processing", "CallTerminate true", "CallConnect false",
                     "SessionStateText ", "Status Line 1 CONNECTED", "Answered", "Connected", "SessionStateText "}));
    EXPECT_EQ(engine->g_objSession, placed);
    // The hang-up button ends the new call.
    calls().clear();
    engine->Terminate();
    EXPECT_EQ(calls(), (Calls{"Session.State", "Terminate 0"}));
}

/// A connected call from 1001 that the far end transferred: the stack holds
/// it and calls the target, and the line shows that new call ringing.
struct Transferred {
    std::shared_ptr<memory::MemorySession> original, placed;
};
Transferred transferredCall(memory::MemoryClient& client, clsRTC& engine) {
    Transferred t;
    t.original = client.fireIncoming(u"sip:1001@10.0.0.5");
    engine.Answer();
    client.fireSessionState(t.original, SessionState::Connected);
    client.fireSessionState(t.original, SessionState::Refer);
    t.placed = std::make_shared<memory::MemorySession>(client.script, SessionState::Idle);
    t.placed->participants.push_back(std::make_shared<memory::MemoryParticipant>(u"sip:1603@10.0.0.5"));
    client.fireSessionState(t.placed, SessionState::InProgress, u"Ringing");
    client.fireSessionState(t.original, SessionState::Hold);
    return t;
}

TEST_F(EngineTest, ATransferredCallThatFailsGivesTheHeldCallBackToTheLine) {
    started();
    auto [original, placed] = transferredCall(*client, *engine);
    ASSERT_EQ(engine->g_objSession, placed);
    events.raised.clear();
    calls().clear();
    client->fireSessionState(placed, SessionState::Disconnected, u"Decline");
    EXPECT_EQ(events.raised, (Calls{"SessionStateText Decline", "Status Line 1 ON HOLD"}))
        << "no disconnect: the call with the far end goes on";
    EXPECT_EQ(engine->g_objSession, original);
    EXPECT_EQ(engine->g_objSessionCallControl, original);
    EXPECT_EQ(std::count(calls().begin(), calls().end(), "Terminate 0"), 0);

    // The stack resumes it; it is the line's call again in every way.
    events.raised.clear();
    client->fireSessionState(original, SessionState::Connected, u"OK");
    EXPECT_EQ(events.raised, (Calls{"SessionStateText OK", "Status Line 1 CONNECTED", "Answered", "Connected",
                                    "SessionStateText "}));
    calls().clear();
    engine->Terminate();
    EXPECT_EQ(calls(), (Calls{"Session.State", "Terminate 0"}));
}

TEST_F(EngineTest, TheHeldCallEndsWithTheTransferredCallWhenTheUserHangsUpOrTheNewCallConnected) {
    started();
    auto [original, placed] = transferredCall(*client, *engine);
    calls().clear();
    engine->Terminate();  // while the transfer target rings
    EXPECT_EQ(calls(), (Calls{"Session.State", "Terminate 0", "Terminate 0"})) << "the new call, then the held one";
    events.raised.clear();
    client->fireSessionState(placed, SessionState::Disconnected);
    client->fireSessionState(original, SessionState::Disconnected);
    EXPECT_EQ(events.raised, (Calls{"SessionStateText ", "Status Line 1 DISCONNECTED", "CallDisconnect",
                                    "CallAnswer false", "CallTerminate true", "CallConnect true"}));
    EXPECT_EQ(engine->g_objSession, nullptr);

    // A transfer that connected: a far end that never left is let go with the new call.
    auto second = transferredCall(*client, *engine);
    client->fireSessionState(second.placed, SessionState::Connected);
    calls().clear();
    client->fireSessionState(second.placed, SessionState::Disconnected, u"Call ended");
    EXPECT_EQ(calls(), (Calls{"Terminate 0"}));
    EXPECT_EQ(engine->g_objSession, nullptr);
}

TEST_F(EngineTest, AnUnknownPlacedCallIsNotAdoptedWhileTheCurrentCallGoesOn) {
    started();
    auto current = client->fireIncoming(u"sip:1001@10.0.0.5");
    engine->Answer();
    client->fireSessionState(current, SessionState::Connected);
    auto stray = std::make_shared<memory::MemorySession>(client->script, SessionState::Idle);
    events.raised.clear();
    client->fireSessionState(stray, SessionState::InProgress, u"Trying");
    EXPECT_EQ(engine->g_objSession, current);
    EXPECT_EQ(events.raised, (Calls{"SessionStateText Trying"}));
}

TEST_F(EngineTest, AudioReceivedOnlyForStartedAudioReceive) {
    started();
    client->fireMedia(rtc::media::AudioReceive, rtc::MediaEventType::Started);
    client->fireMedia(rtc::media::AudioSend, rtc::MediaEventType::Started);
    client->fireMedia(rtc::media::AudioReceive, rtc::MediaEventType::Stopped);
    client->fireMedia(rtc::media::AudioReceive, rtc::MediaEventType::Failed);
    EXPECT_EQ(events.raised, (Calls{"AudioReceived"}));
}

TEST_F(EngineTest, VideoSendWindowIsPlacedInTheOwnersPictureAndHiddenOnStop) {
    started();
    auto window = std::make_shared<memory::MemoryVideoWindow>();
    engine->g_objVideoSend = window;
    engine->picVideoMe = 77;
    client->fireMedia(rtc::media::VideoSend, rtc::MediaEventType::Started);
    EXPECT_EQ(window->style, 0x44000000);
    EXPECT_EQ(window->owner, 77);
    EXPECT_EQ(std::tie(window->left, window->top, window->width, window->height), std::make_tuple(0, 0, 160, 120));
    EXPECT_TRUE(window->visible);
    // Any stopped media other than received video hides the sent-video window.
    client->fireMedia(rtc::media::AudioReceive, rtc::MediaEventType::Stopped);
    EXPECT_FALSE(window->visible);
    EXPECT_EQ(window->owner, 0);
}

TEST_F(EngineTest, VideoReceiveWithoutAWindowIsSkippedQuietly) {
    started();
    EXPECT_NO_THROW(client->fireMedia(rtc::media::VideoReceive, rtc::MediaEventType::Started));
    EXPECT_NO_THROW(client->fireMedia(rtc::media::VideoReceive, rtc::MediaEventType::Stopped));
    EXPECT_TRUE(events.raised.empty());
}

TEST_F(EngineTest, OtherClientEventsLeaveTheClient) {
    started();
    client->fireClientEvent(rtc::ClientEventType::DeviceChange);
    EXPECT_EQ(engine->g_objRTCClient, client);
    EXPECT_TRUE(events.raised.empty());
}

TEST_F(EngineTest, SessionHandlerFailuresAreSkipped) {
    started();
    events.statusHook = [](const std::u16string&) { throw std::runtime_error("handler failed"); };
    engine->URIher = u"1001@10.0.0.5";
    engine->Connect();
    EXPECT_NO_THROW(client->fireSessionState(client->sessions[0], SessionState::InProgress, u"Ringing"));
    EXPECT_EQ(events.raised, (Calls{"SessionStateText ", "SessionStateText Ringing", "Status INPROGRESS",
                                    "Processing", "CallTerminate true", "CallConnect false"}));
}

}  // namespace
}  // namespace pelex::sip_engine::testing
