// The control with the real clsRTC engine over the in-memory RTC client:
// registration, a call from the keypad, touch tones, hang-up and sign-out as
// the engine reports them.

#include "control/cls_rtc_engine.h"
#include "control/tests/control_harness.h"
#include "sip_engine/memory/memory_rtc.h"

namespace pelex::control::testing {
namespace {

using sip_engine::memory::MemoryClient;
using namespace sip_engine::rtc;

class ControlEngineTest : public ControlTest {
protected:
    void SetUp() override {
        engineFactory = clsRtcEngineFactory({[this] {
                                                 auto c = std::make_shared<MemoryClient>();
                                                 clients.push_back(c);
                                                 return c;
                                             },
                                             timers.factory()});
        start();
        signIn();
        deliverLoginCode("sippw", ",127.0.0.1,5060");
        ASSERT_EQ(clients.size(), 1u);
    }
    // The engine's timers report to `timers`: the control (and its engine) go first.
    void TearDown() override { control.reset(); }
    MemoryClient& client() { return *clients.back(); }
    bool called(const std::string& call) {
        const auto& c = client().script->calls;
        return std::find(c.begin(), c.end(), call) != c.end();
    }

    std::vector<std::shared_ptr<MemoryClient>> clients;
    sip_engine::memory::ManualTimers timers;
};

TEST_F(ControlEngineTest, RegistrationCallTonesHangUpAndSignOut) {
    EXPECT_NE(client().lastDocument.find(u"account=\"1000\""), std::u16string::npos);
    client().fireRegistration(RegistrationState::Registered);
    EXPECT_EQ(text("lblDisplay"), "Line 1 is initialized and ready to make/receive calls.");
    EXPECT_EQ(text("lblNumber"), "1000");

    for (const char* k : {"ImgNumber_1", "ImgNumber_0", "ImgNumber_0", "ImgNumber_1"}) button(k)->click();
    button("imgCall")->click();
    ASSERT_EQ(client().sessions.size(), 1u);
    auto session = client().sessions[0];
    client().fireSessionState(session, SessionState::InProgress);
    EXPECT_EQ(text("lblDisplay"), "INPROGRESS");
    EXPECT_TRUE(timer("tmrProcessing")->isActive());
    client().fireSessionState(session, SessionState::InProgress, u"Ringing");
    EXPECT_EQ(text("lblCallStatus"), "Ringing");
    client().fireSessionState(session, SessionState::Connected);
    EXPECT_EQ(text("lblDisplay"), "Line 1 CONNECTED");
    EXPECT_FALSE(timer("tmrProcessing")->isActive());
    EXPECT_TRUE(shown("lbltimer"));

    button("ImgNumber_5")->click();
    control->CorvoTimer_Timer();
    EXPECT_TRUE(called("SendDTMF 5"));
    EXPECT_TRUE(called("SendDTMF 16"));  // the timer's flash tone

    button("imgDiscon")->click();
    EXPECT_EQ(text("lblDisplay"), "Line 1 is initialized and ready to make/receive calls.");
    client().fireSessionState(session, SessionState::Disconnected);
    EXPECT_EQ(text("lblDisplay"), "Line 1 is initialized and ready to make/receive calls.");
    EXPECT_FALSE(shown("lbltimer"));

    control->imgOption_Click();
    EXPECT_EQ(text("lblDisplay"), "Signing Out...");
    EXPECT_FALSE(shown("picLoginForm"));
    client().fireClientEvent(ClientEventType::AsyncCleanupDone);
    EXPECT_TRUE(shown("picLoginForm"));
    EXPECT_TRUE(text("lblNumber").isEmpty());
    control->imgOption_Click();  // the client is released: nothing happens, nothing shown
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(ControlEngineTest, IncomingCallIsAnsweredWithTheCallButton) {
    client().fireRegistration(RegistrationState::Registered);
    auto session = client().fireIncoming(u"sip:1001@127.0.0.1");
    EXPECT_EQ(text("lblDisplay"), "Line 1 INCOMING 1001");
    button("imgCall")->click();
    EXPECT_TRUE(called("Answer"));
    client().fireSessionState(session, SessionState::Connected);
    EXPECT_EQ(text("lblDisplay"), "Line 1 CONNECTED");
}

TEST_F(ControlEngineTest, RejectedRegistrationShowsBothTextsAndGivesTheSignInButtonBack) {
    client().fireRegistration(RegistrationState::Rejected);
    ASSERT_EQ(boxes->shown.size(), 2u);
    EXPECT_EQ(boxes->shown[0].text, u"Number is rejected.");
    EXPECT_EQ(boxes->shown[1].text, u"Number is not registered.");
    EXPECT_EQ(text("lblNumber"), "1000");
}

}  // namespace
}  // namespace pelex::control::testing
