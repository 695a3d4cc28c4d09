// Leaving with a call in every state: the control destroyed (the host
// exits), hidden, or signed out while a call is being placed, is ringing, is
// connected or is held. Nothing may crash or hang, the peer must see the
// call end, and after a sign-out nothing more may be shown. Run under the
// sanitizers in CI like every test.
#include <gtest/gtest.h>

#include <functional>

#include "tests/rig/phone_fixture.h"

namespace pelex::testing {
namespace {

using namespace std::chrono_literals;

enum class CallState { OutgoingRinging, IncomingRinging, Connected, HeldByThePeer };

const char* name(CallState s) {
    switch (s) {
        case CallState::OutgoingRinging: return "outgoing ringing";
        case CallState::IncomingRinging: return "incoming ringing";
        case CallState::Connected: return "connected";
        case CallState::HeldByThePeer: return "held by the peer";
    }
    return "?";
}

class Leaving : public PhoneOnRig {
protected:
    void SetUp() override { startRig({.peerAnswer = "manual"}); }

    /// Signs in and brings a call with the peer's user 1001 into `state`.
    void callIn(CallState state) {
        peer->clear();
        signInAndWaitUntilReady();
        if (state == CallState::IncomingRinging) {
            peerCallsThePhone();
            ASSERT_TRUE(waitFor([&] { return display() == "Line 1 INCOMING 1001"; }, 10s));
            return;
        }
        dial("1001");
        ASSERT_TRUE(waitForPeer("CALL_INCOMING", "1001", 10s));
        ASSERT_TRUE(waitFor([&] { return callStatus() == "Ringing"; }, 5s));
        if (state == CallState::OutgoingRinging) return;
        peer->send("accept");
        ASSERT_TRUE(waitFor([&] { return display() == "Line 1 CONNECTED"; }, 5s));
        if (state == CallState::Connected) return;
        peer->send("hold");
        ASSERT_TRUE(waitFor([&] { return display() == "Line 1 ON HOLD"; }, 5s));
    }

    void leaveInEveryState(const std::function<void()>& leave) {
        for (auto state : {CallState::OutgoingRinging, CallState::IncomingRinging, CallState::Connected,
                           CallState::HeldByThePeer}) {
            SCOPED_TRACE(name(state));
            callIn(state);
            if (HasFatalFailure()) return;
            leave();
            EXPECT_TRUE(waitForPeer("CALL_CLOSED", "1001", 10s)) << "the peer still has the call";
            control.reset();
            EXPECT_TRUE(waitUntilStacksStopped());
        }
    }
};

TEST_F(Leaving, DestroyingTheControlEndsTheCallInEveryState) {
    leaveInEveryState([&] { control.reset(); });
}

TEST_F(Leaving, HidingTheControlEndsTheCallInEveryState) {
    leaveInEveryState([&] {
        control->show();
        control->hide();
    });
}

TEST_F(Leaving, SigningOutEndsTheCallInEveryStateAndNothingIsShownAfterwards) {
    leaveInEveryState([&] {
        button("imgOption")->click();
        ASSERT_TRUE(waitForEvent("SignOut", 10s));
        const auto events = log.lines.size();
        const auto played = audio->played.size();
        pump(3s);
        EXPECT_EQ(log.lines.size(), events) << log.lines.back();
        EXPECT_EQ(audio->played.size(), played) << "an alert sounded after the sign-out";
        EXPECT_TRUE(boxes->shown.empty());
        EXPECT_TRUE(shown("picLoginForm"));
        log.lines.clear();
    });
}

}  // namespace
}  // namespace pelex::testing
