// The phone on a real network, end to end: the phone control on liblinphone
// in a network namespace behind a home router (masquerading, dropping what
// arrives unasked, forgetting idle UDP mappings), Kamailio with nathelper and
// a baresip peer on the far side. Each case checks what the user sees and
// what the far end gets. Each runs in a process of its own (ctest does), with
// a rig of its own.
#include <gtest/gtest.h>

#include <QTimer>

#include <algorithm>
#include <atomic>
#include <iostream>
#include <regex>
#include <thread>

#include "tests/rig/network_rig.h"
#include "tests/rig/phone_fixture.h"
#include "tests/rig/signal_analysis.h"
#include "tests/rig/sound_fixture.h"
#include "tests/rig/sound_io.h"
#include "tests/rig/system_bus.h"

namespace pelex::testing {
namespace {

using namespace std::chrono_literals;

constexpr double kPeerTone = 1000;  // what the peer sends (its tone file)
constexpr double kUserTone = 700;   // what the user says into the phone's microphone
const QString kWaitingLine = QStringLiteral("Line 1 is waiting for the network.");

class PhoneBehindRouter : public PhoneOnRig {
protected:
    void SetUp() override {
        PhoneOnRig::SetUp();
        if (!NetworkRig::available()) GTEST_SKIP() << "this machine lets no network namespaces be made";
    }
    /// Starts the rig (and a sound server when `withSound`); this thread is
    /// on the phone's side from here on.
    void startBehindRouter(NetworkRigOptions options = {}, bool withSound = false) {
        if (withSound) {
            sound.emplace();
            ::setenv("PELEX_SIP_AUDIO", "desktop", 1);
            options.sip.peerPlayer = "pulse";
            options.sip.peerToneSeconds = 300;
        }
        network.emplace(std::move(options));
        // The peer's control port is on the far side's loopback.
        auto far = network->enter(NetworkRig::Side::Far);
        peer = std::make_unique<BaresipControl>(SipRig::peerControlPort());
    }
    void TearDown() override {
        userVoice.reset();
        PhoneOnRig::TearDown();
        network.reset();
        sound.reset();
    }

    /// How many registrations of the phone the registrar has accepted.
    static int registrationsAccepted() {
        const std::string log = SipRig::registrarLog();
        int n = 0;
        for (auto at = log.find("rig: registered 1000"); at != std::string::npos;
             at = log.find("rig: registered 1000", at + 1))
            ++n;
        return n;
    }
    /// The source ("address:port") of the registrar's last accepted registration of the phone.
    static std::string lastRegistrationSource() {
        const std::string log = SipRig::registrarLog();
        const auto at = log.rfind("rig: registered 1000 source ");
        if (at == std::string::npos) return {};
        const auto from = at + std::strlen("rig: registered 1000 source ");
        return log.substr(from, log.find(' ', from) - from);
    }
    /// The Contact the registrar keeps for the phone.
    static std::string registeredContact() {
        const std::string dump = SipRig::registrations();
        const auto aor = dump.find("AoR: 1000");
        if (aor == std::string::npos) return {};
        const auto line = dump.find("Address: ", aor);
        return line == std::string::npos ? "" : dump.substr(line + 9, dump.find('\n', line) - line - 9);
    }
    /// True while the router has a mapping of the phone's SIP flow from `address`.
    bool routerMapsSipFrom(const std::string& address) const {
        return network->mappings().find("src=" + address + " dst=" + NetworkRig::kFarAddress +
                                        " sport=5060 dport=5060") != std::string::npos;
    }
    /// Waits until the registrar accepted a registration after `before` of them.
    bool waitForRegistrationAfter(int before, std::chrono::milliseconds limit) {
        return waitFor([&] { return registrationsAccepted() > before; }, limit);
    }

    /// The user keeps saying kUserTone into the phone's microphone.
    void userKeepsTalking() {
        userVoice = std::make_unique<SoundPlayer>(SoundRig::kPhoneMicFeed, makeTone(kUserTone, 240, 8000, 10000));
    }
    /// Records both ends for `time` and returns the seconds of (the peer's
    /// tone the user heard, the user's tone the peer heard).
    std::pair<double, double> listenBothWays(std::chrono::milliseconds time) {
        SourceRecorder userHears(SoundRig::monitorOf(SoundRig::kPhoneSpeaker));
        SourceRecorder peerHears(SoundRig::monitorOf(SoundRig::kPeerSpeaker));
        pump(time);
        const auto user = userHears.audio(), far = peerHears.audio();
        return {toneSeconds(user.samples, user.rate, kPeerTone), toneSeconds(far.samples, far.rate, kUserTone)};
    }
    void expectSoundBothWays(const char* when) {
        const auto [userHeard, peerHeard] = listenBothWays(2500ms);
        EXPECT_GT(userHeard, 1.5) << "the user hears the far end " << when;
        EXPECT_GT(peerHeard, 1.5) << "the far end hears the user " << when;
    }
    /// The phone calls 1001 and the call is connected at both ends.
    void callThePeer() {
        dial("1001");
        ASSERT_TRUE(waitForEvent("Status Line 1 CONNECTED", 15s)) << display().toStdString();
        ASSERT_TRUE(waitForPeer("CALL_ESTABLISHED", "1001", 5s));
    }
    /// The peer calls the phone; the phone rings and the user answers.
    void peerCallsAndUserAnswers() {
        peerCallsThePhone();
        ASSERT_TRUE(waitFor([&] { return display().startsWith("Line 1 INCOMING"); }, 15s))
            << "the phone does not ring; display: " << display().toStdString();
        EXPECT_EQ(display(), "Line 1 INCOMING 1001");
        button("imgCall")->click();
        ASSERT_TRUE(waitForEvent("Status Line 1 CONNECTED", 10s));
        ASSERT_TRUE(waitForPeer("CALL_ESTABLISHED", "1001", 5s));
    }
    /// The peer calls, the phone rings, and the peer gives up again.
    void peerCallsAndThePhoneRings(const char* when) {
        peer->clear();
        const auto lines = log.lines.size();
        peerCallsThePhone();
        EXPECT_TRUE(waitFor([&] { return display() == "Line 1 INCOMING 1001"; }, 15s))
            << "an incoming call " << when << " does not ring; display: " << display().toStdString();
        peer->send("hangup");
        ASSERT_TRUE(waitFor([&] { return display() == kIdleLine; }, 10s)) << display().toStdString();
        EXPECT_TRUE(std::any_of(log.lines.begin() + static_cast<long>(lines), log.lines.end(),
                                [](const std::string& l) { return l == "Ringing"; }));
    }
    void hangUp() {
        button("imgDiscon")->click();
        ASSERT_TRUE(waitForPeer("CALL_CLOSED", "1001", 5s));
    }

    std::optional<SoundRig> sound;
    std::optional<NetworkRig> network;
    std::unique_ptr<SoundPlayer> userVoice;
};

// ---- Behind the router ----

TEST_F(PhoneBehindRouter, RegistersWithTheRoutersAddressCallsAndIsCalledWithSoundBothWays) {
    startBehindRouter({}, true);
    signInAndWaitUntilReady();
    // The Contact names the address the server saw, not the phone's own.
    EXPECT_NE(registeredContact().find(std::string("@") + NetworkRig::kRouterAddress), std::string::npos)
        << registeredContact();
    EXPECT_EQ(registeredContact().find(NetworkRig::kPhoneAddress), std::string::npos);
    userKeepsTalking();

    callThePeer();
    expectSoundBothWays("on a call the phone placed");
    hangUp();
    ASSERT_TRUE(waitFor([&] { return display() == kIdleLine; }, 5s));

    peerCallsAndUserAnswers();
    expectSoundBothWays("on a call the phone answered");
    hangUp();
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(PhoneBehindRouter, AfterTwoMinutesIdleWithThirtySecondMappingsAndAfterTheRouterForgetsThemAnIncomingCallStillRings) {
    startBehindRouter({.sip = {}, .udpMappingSeconds = 30});
    signInAndWaitUntilReady();
    // Nothing but the phone's keep-alives crosses the router for two
    // minutes (the registration lasts an hour). Each keep-alive starts the
    // mapping's 30 s anew: what is left of them shows how long the longest
    // silence was.
    int leastLeft = 30;
    const auto idleUntil = Clock::now() + 120s;
    while (Clock::now() < idleUntil) {
        pump(1s);
        std::smatch left;
        const std::string table = network->mappings();
        if (std::regex_search(table, left, std::regex(R"(udp\s+17\s+(\d+)\s+src=192\.0\.2\.2 dst=198\.51\.100\.2 sport=5060 dport=5060)")))
            leastLeft = std::min(leastLeft, std::stoi(left[1]));
        else
            leastLeft = 0;
    }
    std::cout << "least of the mapping's 30 s left before a keep-alive: " << leastLeft << " s\n";
    EXPECT_GE(leastLeft, 5) << "a keep-alive at least every 25 s (and the mapping never lapsed)";
    peerCallsAndThePhoneRings("after two minutes idle");
    // The router forgets every mapping (it restarted): the next keep-alive
    // makes a new one, and the phone can be called again.
    network->forgetMappings();
    ASSERT_TRUE(waitFor([&] { return routerMapsSipFrom(NetworkRig::kPhoneAddress); }, 25s));
    peerCallsAndThePhoneRings("after the router forgot its mappings");
}

// ---- Network changes ----

TEST_F(PhoneBehindRouter, ANewAddressAndThenASecondNetworkEachRegisterAgainAndCallsArrive) {
    startBehindRouter();
    signInAndWaitUntilReady();
    const std::string firstSource = lastRegistrationSource();

    int before = registrationsAccepted();
    network->changeAddress("192.0.2.7");
    auto changed = Clock::now();
    ASSERT_TRUE(waitForRegistrationAfter(before, 10s)) << "no registration after the address changed";
    std::cout << "registered again "
              << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - changed).count()
              << " ms after the address changed\n";
    EXPECT_TRUE(routerMapsSipFrom("192.0.2.7")) << network->mappings();
    EXPECT_NE(lastRegistrationSource(), firstSource) << "the server sees the new mapping";
    EXPECT_EQ(display(), kIdleLine);
    peerCallsAndThePhoneRings("at the new address");

    before = registrationsAccepted();
    network->switchNetwork();
    changed = Clock::now();
    ASSERT_TRUE(waitForRegistrationAfter(before, 10s)) << "no registration on the second network";
    std::cout << "registered again "
              << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - changed).count()
              << " ms after the switch to the second network\n";
    EXPECT_TRUE(routerMapsSipFrom(NetworkRig::kSecondNetworkAddress)) << network->mappings();
    peerCallsAndThePhoneRings("on the second network");
    EXPECT_TRUE(boxes->shown.empty()) << QString::fromStdU16String(boxes->shown.front().text).toStdString();
}

TEST_F(PhoneBehindRouter, AFailedRegistrationDoesNotWaitOutItsPauseWhenTheNetworkChanges) {
    startBehindRouter({.sip = {.registrationLifetime = 10}});
    signInAndWaitUntilReady();
    // The server goes away: the next refresh (within 10 s) goes unanswered
    // until the stack gives up (32 s), and the stack would try again only a
    // minute after that attempt began.
    SipRig::stopRegistrar();
    ASSERT_TRUE(waitForEvent("RegFail Number is not registered.", 50s)) << display().toStdString();
    SipRig::startRegistrar();
    const int before = registrationsAccepted();
    network->changeAddress("192.0.2.7");
    const auto changed = Clock::now();
    ASSERT_TRUE(waitForRegistrationAfter(before, 15s)) << "the pause was waited out";
    EXPECT_LT(Clock::now() - changed, 5s) << "registered at once on the new network";
    ASSERT_TRUE(waitFor([&] { return display() == kIdleLine; }, 5s)) << display().toStdString();
}

TEST_F(PhoneBehindRouter, AnAddressChangeDuringACallKeepsItConnectedWithSoundBothWays) {
    startBehindRouter({}, true);
    signInAndWaitUntilReady();
    userKeepsTalking();
    callThePeer();
    expectSoundBothWays("before the change");

    network->changeAddress("192.0.2.7");
    pump(2s);  // the re-registration and the call's repair
    expectSoundBothWays("after the change");
    EXPECT_EQ(display(), "Line 1 CONNECTED");
    EXPECT_FALSE(peer->has("CALL_CLOSED", "1001")) << "the far end kept the call";
    EXPECT_FALSE(log.has("CallDisconnect"));
    hangUp();
}

TEST_F(PhoneBehindRouter, ALinkDownForMoreThanAMinuteEndsTheCallSayingWhySaysSoAndRegistersAgainAtOnceWhenBack) {
    // Registrations that need refreshing while the link is down.
    startBehindRouter({.sip = {.registrationLifetime = 30}});
    signInAndWaitUntilReady();
    callThePeer();
    network->linkDown();
    ASSERT_TRUE(waitFor([&] { return callStatus() == "Waiting for the network"; }, 5s)) << callStatus().toStdString();
    EXPECT_EQ(display(), "Line 1 CONNECTED") << "the call is not over yet";
    // Nothing heard for 30 s: the call cannot be repaired, and the user is told why it ended.
    ASSERT_TRUE(waitForEvent("CallDisconnect", 40s));
    EXPECT_EQ(callStatus(), "Call lost: no network");
    EXPECT_EQ(display(), kWaitingLine);
    EXPECT_FALSE(timerShown());
    pump(30s);
    EXPECT_EQ(display(), kWaitingLine);
    EXPECT_TRUE(boxes->shown.empty()) << "no network is no failure of the account";
    peer->send("hangup");  // the far end never heard the call end

    const int before = registrationsAccepted();
    network->linkUp();
    const auto back = Clock::now();
    ASSERT_TRUE(waitForRegistrationAfter(before, 10s));
    const auto took = Clock::now() - back;
    std::cout << "registered again " << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
              << " ms after the link came back\n";
    EXPECT_LT(took, 5s) << "at once, not after a retry pause";
    ASSERT_TRUE(waitFor([&] { return display() == kIdleLine; }, 5s)) << display().toStdString();
    EXPECT_TRUE(boxes->shown.empty());
    peerCallsAndThePhoneRings("after the link came back");
}

// ---- Sleep ----

TEST_F(PhoneBehindRouter, AResumeFromSleepRegistersAgainAtOnce) {
    SystemBus bus;  // before anything in this process uses the system bus
    StandInLogind logind(bus.address());
    startBehindRouter();
    signInAndWaitUntilReady();
    logind.prepareForSleep(true);
    pump(500ms);
    const int before = registrationsAccepted();
    logind.prepareForSleep(false);
    const auto resumed = Clock::now();
    ASSERT_TRUE(waitForRegistrationAfter(before, 10s)) << "no REGISTER after the resume";
    const auto took = Clock::now() - resumed;
    std::cout << "registered again " << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
              << " ms after the resume\n";
    EXPECT_LT(took, 3s);
    EXPECT_EQ(display(), kIdleLine);
}

// ---- Lost and late packets ----

TEST_F(PhoneBehindRouter, UnderLossAndJitterTheCallStaysUpAndTheToneIsInMostBlocks) {
    startBehindRouter({}, true);
    signInAndWaitUntilReady();
    userKeepsTalking();
    callThePeer();
    pump(1s);
    struct Stage {
        const char* name;
        double loss;
        int delay, jitter;
        double least;  // share of blocks with the tone, each way
    };
    for (const Stage& stage : {Stage{"5 % loss", 5, 0, 0, 0.85}, Stage{"10 % loss", 10, 0, 0, 0.75},
                               Stage{"40 +/- 30 ms jitter", 0, 40, 30, 0.85}}) {
        network->setLoss(stage.loss);
        network->setDelay(stage.delay, stage.jitter);
        pump(1500ms);  // the jitter buffer adapts
        SourceRecorder userHears(SoundRig::monitorOf(SoundRig::kPhoneSpeaker));
        SourceRecorder peerHears(SoundRig::monitorOf(SoundRig::kPeerSpeaker));
        pump(5s);
        const Audio user = userHears.audio(), far = peerHears.audio();
        const double toUser = toneContinuity(user.samples, user.rate, kPeerTone);
        const double toPeer = toneContinuity(far.samples, far.rate, kUserTone);
        std::cout << stage.name << ": the tone in " << int(toUser * 100) << " % of 20 ms blocks at the phone, "
                  << int(toPeer * 100) << " % at the far end\n";
        EXPECT_GE(toUser, stage.least) << stage.name << ", heard by the user";
        EXPECT_GE(toPeer, stage.least) << stage.name << ", heard by the far end";
        EXPECT_EQ(display(), "Line 1 CONNECTED") << stage.name;
    }
    network->setLoss(0);
    network->setDelay(0, 0);
    EXPECT_FALSE(log.has("CallDisconnect"));
    EXPECT_FALSE(peer->has("CALL_CLOSED", "1001"));
    hangUp();
}

// ---- A hostile network ----

TEST_F(PhoneBehindRouter, AJunkFloodAndAFlappingAddressLeaveThePhoneWorkingAndItsWindowResponsive) {
    startBehindRouter();
    signInAndWaitUntilReady();
    // How long the window's event loop goes without running a 10 ms timer.
    auto longestStall = 0ms;
    auto lastTick = Clock::now();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        longestStall = std::max(longestStall, std::chrono::duration_cast<std::chrono::milliseconds>(now - lastTick));
        lastTick = now;
    });
    tick.start(10);
    {
        JunkFlood flood(*network, NetworkRig::kPhoneAddress, NetworkRig::kPhoneSipPort, 1000);
        pump(5s);
        peerCallsAndThePhoneRings("during a flood of junk to the SIP port");
        EXPECT_GT(flood.sent(), 4000u);
    }
    // The address flaps every second for ten seconds and settles on the new one.
    for (int i = 0; i < 10; ++i) {  // ends on the first address
        network->changeAddress(i % 2 == 0 ? "192.0.2.7" : NetworkRig::kPhoneAddress);
        pump(1s);
    }
    const int before = registrationsAccepted();
    network->changeAddress("192.0.2.7");
    EXPECT_TRUE(waitForRegistrationAfter(before, 10s)) << "registered from where the address settled";
    EXPECT_TRUE(waitFor([&] { return display() == kIdleLine; }, 5s)) << display().toStdString();
    peerCallsAndThePhoneRings("after the address flapped");
    tick.stop();
    std::cout << "longest stall of the window's event loop: " << longestStall.count() << " ms\n";
    EXPECT_LT(longestStall, 1000ms) << "the window never waits on the network";
    EXPECT_TRUE(boxes->shown.empty());
}

}  // namespace
}  // namespace pelex::testing
