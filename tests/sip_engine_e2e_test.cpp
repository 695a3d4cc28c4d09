// The SIP engine on liblinphone against a real Kamailio and a real baresip
// peer on loopback, both started by the test itself.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <vector>

#include "tests/rig/baresip_control.h"
#include "tests/rig/engine_driver.h"
#include "tests/rig/packet_capture.h"
#include "tests/rig/rig_fixture.h"

namespace pelex::testing {
namespace {

using namespace std::chrono_literals;
using sip_engine::rtc::SessionState;

class SipEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        rig.emplace();
        peer = std::make_unique<BaresipControl>(SipRig::peerControlPort());
    }
    void TearDown() override {
        phone.reset();
        peer.reset();
        rig.reset();
    }

    EngineDriver& startPhone(const std::string& server = SipRig::serverAddress(),
                             const std::string& password = SipRig::kPhonePassword) {
        phone = std::make_unique<EngineDriver>(server, SipRig::kPhoneUser, password);
        phone->engine->Init();
        return *phone;
    }
    EngineDriver& registeredPhone() {
        auto& p = startPhone();
        if (!p.waitForEvent("RegOK 2", 10s, peer.get())) throw std::runtime_error("the phone did not register");
        return p;
    }
    std::string peerAddress(const char* user) const { return std::string(user) + "@" + SipRig::serverAddress(); }
    std::u16string wide(const std::string& s) const { return QString::fromStdString(s).toStdU16String(); }
    /// Places a call from the phone to `user` and waits until it is connected.
    void callPeer(const char* user) {
        phone->engine->URIher = wide(peerAddress(user));
        phone->engine->HerName = wide(user);
        phone->engine->Connect();
        ASSERT_TRUE(phone->waitForEvent("Status Line 1 CONNECTED", 10s, peer.get()));
    }

    std::optional<SipRig> rig;
    std::unique_ptr<BaresipControl> peer;
    std::unique_ptr<EngineDriver> phone;
};

TEST_F(SipEndToEnd, RegistersAndShowsReady) {
    auto& p = startPhone();
    ASSERT_TRUE(p.waitForEvent("RegOK 2", 10s));
    EXPECT_TRUE(p.saw("Status Line 1 is registering."));
    EXPECT_TRUE(p.saw(kReady));
    EXPECT_FALSE(p.saw("RegFail Number is not registered."));
    // Nothing the engine keeps on disk holds the password.
    p.engine.reset();
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(std::getenv("PELEX_SIP_DATA_DIR"))) {
        if (!entry.is_regular_file()) continue;
        ++files;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(content.find(SipRig::kPhonePassword), std::string::npos) << entry.path();
    }
    EXPECT_GT(files, 0) << "the engine keeps its files in its own folder";
}

TEST_F(SipEndToEnd, AFixedLocalPortThatAnotherProgramHoldsIsReplacedByAFreeOne) {
    const int held = ::socket(AF_INET6, SOCK_DGRAM, 0);  // no SO_REUSEADDR: nobody else may bind it
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_any;
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(held, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(held, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string port = std::to_string(ntohs(address.sin6_port));
    ::setenv("PELEX_SIP_LOCAL_PORT", port.c_str(), 1);
    auto& p = startPhone();
    ::unsetenv("PELEX_SIP_LOCAL_PORT");
    EXPECT_TRUE(p.waitForEvent("RegOK 2", 10s)) << "registered from another port";
    const std::string registrations = SipRig::registrations();
    EXPECT_NE(registrations.find("AoR: 1000"), std::string::npos) << registrations;
    EXPECT_EQ(registrations.find("@127.0.0.1:" + port), std::string::npos) << registrations;
    ::close(held);
}

TEST_F(SipEndToEnd, WrongPasswordIsRejectedThenNotRegisteredAndNotRetried) {
    for (const auto& server : {SipRig::serverAddress(), SipRig::rejectingServerAddress()}) {
        auto& p = startPhone(server, "wrong-password");
        ASSERT_TRUE(p.waitForEvent("RegOK 3", 10s)) << server;
        EXPECT_EQ(std::vector<std::string>(p.events.raised.end() - 5, p.events.raised.end()),
                  (std::vector<std::string>{"Status Number is rejected.", "RegFail Number is rejected.",
                                            "Status Number is not registered.",
                                            "RegFail Number is not registered.", "RegOK 3"}))
            << server;
        // The profile stays rejected: no new attempt, no new outcome.
        const auto seen = p.events.raised.size();
        p.pump(1500ms);
        EXPECT_EQ(p.events.raised.size(), seen) << server;
        phone.reset();
    }
}

TEST_F(SipEndToEnd, PasswordWithQuotesAmpersandsAndAngleBracketsRegisters) {
    // users.txt gives 1003 the password q"a&b<c>'d.
    phone = std::make_unique<EngineDriver>(SipRig::serverAddress(), "1003", "q\"a&b<c>'d");
    phone->engine->Init();
    ASSERT_TRUE(phone->waitForEvent("RegOK 2", 10s));
    EXPECT_TRUE(phone->saw(kReady));
}

TEST_F(SipEndToEnd, NoServerGivesNotRegisteredInBoundedTime) {
    // A port of the rig's block that nothing listens on.
    const auto nowhere = "127.0.0.1:" + std::to_string(SipRig::sipPort() + 5);
    phone = std::make_unique<EngineDriver>(nowhere, SipRig::kPhoneUser, SipRig::kPhonePassword);
    phone->engine->RegistrationTimeout = 4s;
    const auto start = std::chrono::steady_clock::now();
    phone->engine->Init();
    ASSERT_TRUE(phone->waitForEvent("RegFail Number is not registered.", 10s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 9s) << "the 4 s wait, and start-up on a busy machine";
    EXPECT_TRUE(phone->saw("Status Number is not registered."));
    EXPECT_FALSE(phone->saw(kReady));
}

TEST_F(SipEndToEnd, OutgoingCallRingsConnectsCarriesRtpAndTonesThenHangsUp) {
    auto& p = registeredPhone();
    QTemporaryDir captureDir;
    PacketCapture capture(captureDir.filePath("call.pcap").toStdString());
    p.events.raised.clear();
    callPeer("1001");
    EXPECT_TRUE(p.saw("Status INPROGRESS"));
    EXPECT_TRUE(p.saw("Processing"));
    EXPECT_TRUE(p.saw("SessionStateText Ringing"));
    EXPECT_TRUE(p.saw("Answered"));
    EXPECT_TRUE(p.saw("Connected"));
    EXPECT_TRUE(p.waitFor([&] { return peer->has("CALL_ESTABLISHED", "1001"); }, 5s, peer.get()));

    p.pump(1s, peer.get());
    for (std::int16_t key : {1, 10, 11, 12}) {
        p.engine->Key(key);
        p.pump(400ms, peer.get());
    }
    p.pump(1s, peer.get());
    p.engine->Terminate();
    ASSERT_TRUE(p.waitForEvent("Status Line 1 DISCONNECTED", 5s, peer.get()));
    EXPECT_TRUE(p.saw("CallDisconnect"));
    EXPECT_TRUE(p.waitFor([&] { return peer->has("CALL_CLOSED", "1001"); }, 5s, peer.get()));

    const auto packets = capture.stopAndDecode();
    auto fromPeer = [](const CapturedRtp& r) {
        return r.sourcePort >= SipRig::peerRtpFirst() && r.sourcePort <= SipRig::peerRtpLast();
    };
    auto toPeer = [](const CapturedRtp& r) {
        return r.destinationPort >= SipRig::peerRtpFirst() && r.destinationPort <= SipRig::peerRtpLast();
    };
    int voiceIn = 0, voiceOut = 0;
    std::set<int> tones;
    for (const auto& r : packets) {
        if (r.telephoneEvent >= 0 && toPeer(r)) tones.insert(r.telephoneEvent);
        else if (r.payloadType == 0 && fromPeer(r)) ++voiceIn;
        else if (r.payloadType == 0 && toPeer(r)) ++voiceOut;
    }
    EXPECT_GT(voiceIn, 50) << "voice packets from the peer";
    EXPECT_GT(voiceOut, 50) << "voice packets to the peer";
    EXPECT_EQ(tones, (std::set<int>{1, 10, 11, 16})) << "telephone events, flash included";
}

TEST_F(SipEndToEnd, KeysPressedTogetherWithTheFlashAllReachTheWireInOrder) {
    auto& p = registeredPhone();
    callPeer("1001");
    ASSERT_TRUE(p.waitFor([&] { return peer->has("CALL_ESTABLISHED", "1001"); }, 5s, peer.get()));
    p.pump(1s, peer.get());
    QTemporaryDir captureDir;
    PacketCapture capture(captureDir.filePath("tones.pcap").toStdString());
    // The timer's flash and a user typing fast, within one turn of the loop:
    // the stack drops a tone asked for while another is going out.
    for (std::int16_t key : {12, 5, 11, 1, 10}) p.engine->Key(key);
    p.pump(2s, peer.get());
    p.engine->Terminate();
    ASSERT_TRUE(p.waitForEvent("Status Line 1 DISCONNECTED", 5s, peer.get()));

    std::vector<int> events;  // each event once, in the order they went out
    for (const auto& r : capture.stopAndDecode()) {
        const bool toPeer = r.destinationPort >= SipRig::peerRtpFirst() && r.destinationPort <= SipRig::peerRtpLast();
        if (toPeer && r.telephoneEvent >= 0 && (events.empty() || events.back() != r.telephoneEvent))
            events.push_back(r.telephoneEvent);
    }
    EXPECT_EQ(events, (std::vector<int>{16, 5, 11, 1, 10}));
}

TEST_F(SipEndToEnd, IncomingCallShowsTheCallerAndIsAnswered) {
    auto& p = registeredPhone();
    peer->send("dial", "sip:1000@" + SipRig::serverAddress());
    ASSERT_TRUE(p.waitForEvent("Status Line 1 INCOMING 1001", 10s, peer.get()));
    EXPECT_TRUE(p.saw("IncomingCall 1001"));
    p.engine->Answer();
    ASSERT_TRUE(p.waitForEvent("Status Line 1 CONNECTED", 5s, peer.get()));
    EXPECT_TRUE(p.saw("Status Line 1 ANSWERING"));
    EXPECT_TRUE(p.waitFor([&] { return peer->has("CALL_ESTABLISHED", "1001"); }, 5s, peer.get()));
    EXPECT_TRUE(p.waitForEvent("AudioReceived", 5s, peer.get()));
    p.engine->Terminate();
    EXPECT_TRUE(p.waitForEvent("Status Line 1 DISCONNECTED", 5s, peer.get()));
}

TEST_F(SipEndToEnd, RejectedIncomingCallIsDeclinedAtThePeer) {
    auto& p = registeredPhone();
    peer->send("dial", "sip:1000@" + SipRig::serverAddress());
    ASSERT_TRUE(p.waitForEvent("Status Line 1 INCOMING 1001", 10s, peer.get()));
    p.engine->Terminate();
    ASSERT_TRUE(p.waitFor([&] { return peer->has("CALL_CLOSED", "1001"); }, 5s, peer.get()));
    const auto reason = peer->find("CALL_CLOSED", "1001").value("param").toString();
    EXPECT_TRUE(reason.contains("603") || reason.contains("Decline")) << reason.toStdString();
    EXPECT_TRUE(p.waitForEvent("Status Line 1 DISCONNECTED", 5s, peer.get()));
    EXPECT_EQ(p.engine->g_objSession, nullptr);
}

TEST_F(SipEndToEnd, HoldUnholdAndTransfer) {
    auto& p = registeredPhone();
    callPeer("1001");
    p.pump(500ms, peer.get());
    p.engine->CallHold();
    ASSERT_TRUE(p.waitForEvent("Status Line 1 ON HOLD", 5s, peer.get()));
    p.events.raised.clear();
    p.engine->CallunHold();
    ASSERT_TRUE(p.waitForEvent("Status Line 1 CONNECTED", 5s, peer.get()));

    // The peer (1001) is asked to call 1002 instead; 1002 answers by itself.
    p.engine->CallTransfer(u"1002", u"");
    EXPECT_TRUE(p.waitFor([&] { return peer->has("CALL_ESTABLISHED", "1002"); }, 10s, peer.get()))
        << "the transferred call did not reach 1002";
}

TEST_F(SipEndToEnd, ShutDownUnregistersAndEndsWithSignOut) {
    auto& p = registeredPhone();
    p.engine->Terminate();
    p.engine->ShutDown();
    EXPECT_TRUE(p.saw("Status Signing Out..."));
    ASSERT_TRUE(p.waitForEvent("SignOut", 10s));
    EXPECT_EQ(p.engine->g_objRTCClient, nullptr);
    // Signing out is not a registration failure.
    EXPECT_FALSE(p.saw("RegFail Number is not registered."));
    EXPECT_THROW(p.engine->ShutDown(), std::exception);
}

}  // namespace
}  // namespace pelex::testing

int main(int argc, char** argv) {
    QTemporaryDir data;
    setenv("PELEX_SIP_DATA_DIR", data.path().toLocal8Bit().constData(), 1);
    setenv("PELEX_SIP_AUDIO", "files", 1);
    setenv("PULSE_SERVER", "unix:/nonexistent", 0);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
