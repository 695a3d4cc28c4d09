// Call control: Connect, Answer, Terminate, Key, hold, transfer, sign-out, destruction.
#include "sip_engine/tests/engine_fixture.h"

namespace pelex::sip_engine::testing {
namespace {

TEST_F(EngineTest, ConnectTrimsTheAddressAndKeepsInnerSpaces) {
    started();
    engine->URIher = u"  12 34@10.0.0.5 ";
    engine->Connect();
    EXPECT_EQ(events.raised, (Calls{"SessionStateText "}));
    EXPECT_EQ(calls(), (Calls{"CreateSession 0 '' null 0", "CallControl", "AddParticipant 12 34@10.0.0.5|Any Name"}));
    ASSERT_EQ(client->sessions.size(), 1u);
    EXPECT_EQ(engine->g_objSession, client->sessions[0]);
    EXPECT_NE(engine->g_objSessionCallControl, nullptr);
}

TEST_F(EngineTest, ConnectWithoutAClientOnlyClearsTheSessionText) {
    engine->URIher = u"1001@10.0.0.5";
    EXPECT_NO_THROW(engine->Connect());
    EXPECT_EQ(events.raised, (Calls{"SessionStateText "}));
    EXPECT_EQ(engine->g_objSession, nullptr);
}

TEST_F(EngineTest, TerminateRejectsARingingIncomingCallAndStopsTheRing) {
    started();
    client->fireIncoming(u"sip:1001@10.0.0.5");
    calls().clear();
    events.raised.clear();
    engine->Terminate();
    EXPECT_EQ(events.raised, (Calls{"SessionStateText "}));
    EXPECT_EQ(calls(), (Calls{"Session.State", "Terminate 3", "PlayRing 0 false"}));
}

TEST_F(EngineTest, TerminateEndsAConnectedCallNormally) {
    started();
    engine->URIher = u"1001@10.0.0.5";
    engine->Connect();
    client->fireSessionState(client->sessions[0], rtc::SessionState::Connected);
    calls().clear();
    engine->Terminate();
    EXPECT_EQ(calls(), (Calls{"Session.State", "Terminate 0"}));
    // The references go only with the disconnect event.
    EXPECT_NE(engine->g_objSession, nullptr);
}

TEST_F(EngineTest, TerminateWithoutACallOnlyClearsTheSessionText) {
    started();
    EXPECT_NO_THROW(engine->Terminate());
    EXPECT_EQ(events.raised, (Calls{"SessionStateText "}));
    EXPECT_TRUE(calls().empty());
}

TEST_F(EngineTest, AnswerAnswersTheStoredIncomingSession) {
    started();
    auto session = client->fireIncoming(u"sip:1001@10.0.0.5");
    calls().clear();
    engine->Answer();
    EXPECT_EQ(calls(), (Calls{"Answer", "CallControl"}));
}

TEST_F(EngineTest, AnswerSkipsAFailingAnswer) {
    started();
    client->fireIncoming(u"sip:1001@10.0.0.5");
    client->script->failing = {"Answer"};
    calls().clear();
    EXPECT_NO_THROW(engine->Answer());
    EXPECT_EQ(calls(), (Calls{"Answer", "CallControl"}));
}

TEST_F(EngineTest, KeyTable) {
    started();
    for (std::int16_t index = -2; index <= 14; ++index) engine->Key(index);
    EXPECT_EQ(calls(), (Calls{"SendDTMF 0", "SendDTMF 1", "SendDTMF 2", "SendDTMF 3", "SendDTMF 4", "SendDTMF 5",
                              "SendDTMF 6", "SendDTMF 7", "SendDTMF 8", "SendDTMF 9", "SendDTMF 10",
                              "SendDTMF 11", "SendDTMF 16"}));
    EXPECT_TRUE(events.raised.empty());
}

TEST_F(EngineTest, KeyLeavesItsArgumentAndSkipsAFailingSend) {
    started();
    client->script->failing = {"SendDTMF"};
    const std::int16_t index = 12;
    EXPECT_NO_THROW(engine->Key(index));
    EXPECT_EQ(index, 12);
    EXPECT_EQ(calls(), (Calls{"SendDTMF 16"}));
}

TEST_F(EngineTest, HoldUnholdAndTransferUseTheCallControlView) {
    started();
    engine->URIher = u"1001@10.0.0.5";
    engine->Connect();
    calls().clear();
    engine->CallHold();
    engine->CallunHold();
    engine->CallTransfer(u"1002", u"c1");
    EXPECT_EQ(calls(), (Calls{"Hold 0", "UnHold 0", "Refer 1002@10.0.0.5|c1"}));
}

TEST_F(EngineTest, HoldWithoutACallIsSilentButTransferFailsToTheCaller) {
    started();
    EXPECT_NO_THROW(engine->CallHold());
    EXPECT_NO_THROW(engine->CallunHold());
    EXPECT_THROW(engine->CallTransfer(u"1002", u""), std::exception);
}

TEST_F(EngineTest, ReregisterDisablesThenEnablesTheProfile) {
    started();
    engine->ReregisterProfile();
    EXPECT_EQ(calls(), (Calls{"DisableProfile profile", "EnableProfile profile 7"}));
}

TEST_F(EngineTest, WizardPassesTheWindowAndSkipsOneThatDoesNotFit32Bits) {
    started();
    engine->Wizard(4711);
    engine->Wizard(std::int64_t{1} << 40);
    EXPECT_EQ(calls(), (Calls{"InvokeTuningWizard 4711"}));
}

TEST_F(EngineTest, ShutDownPreparesThenSignsOutWhenCleanUpIsDone) {
    started();
    engine->ShutDown();
    EXPECT_EQ(calls(), (Calls{"PrepareForShutdown"}));
    EXPECT_EQ(events.raised, (Calls{"Status Signing Out..."}));
    client->fireClientEvent(rtc::ClientEventType::AsyncCleanupDone);
    EXPECT_EQ(calls(), (Calls{"PrepareForShutdown", "Shutdown"}));
    EXPECT_EQ(events.raised, (Calls{"Status Signing Out...", "SignOut"}));
    EXPECT_EQ(engine->g_objRTCClient, nullptr);
}

TEST_F(EngineTest, ShutDownAfterReleaseFailsBackWithoutStatus) {
    started();
    client->fireClientEvent(rtc::ClientEventType::AsyncCleanupDone);
    events.raised.clear();
    EXPECT_THROW(engine->ShutDown(), std::exception);
    EXPECT_TRUE(events.raised.empty());
}

TEST_F(EngineTest, ShutDownWhosePreparationFailsRaisesNothing) {
    started();
    client->script->failing = {"PrepareForShutdown"};
    EXPECT_THROW(engine->ShutDown(), std::exception);
    EXPECT_TRUE(events.raised.empty());
}

TEST_F(EngineTest, DestructionEndsTheCallShutsDownAndDisconnectsEvents) {
    started();
    engine->URIher = u"1001@10.0.0.5";
    engine->Connect();
    calls().clear();
    engine.reset();
    EXPECT_EQ(calls(), (Calls{"Terminate 5", "PrepareForShutdown", "Shutdown", "Unadvise"}));
    EXPECT_FALSE(client->advised());
}

TEST_F(EngineTest, DestructionGoesOnPastFailures) {
    started();
    engine->URIher = u"1001@10.0.0.5";
    engine->Connect();
    client->script->failing = {"Terminate", "PrepareForShutdown", "Shutdown"};
    calls().clear();
    EXPECT_NO_THROW(engine.reset());
    EXPECT_EQ(calls(), (Calls{"Terminate 5", "PrepareForShutdown", "Shutdown", "Unadvise"}));
}

}  // namespace
}  // namespace pelex::sip_engine::testing
