// Sound through the phone's SIP engine on a real sound server: each test
// starts its own PulseAudio (null-sink speakers and microphones), Kamailio
// and a baresip peer that plays into and records from the same server.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <optional>
#include <thread>

#include "sip_engine/linphone/linphone_client.h"
#include "tests/rig/baresip_control.h"
#include "tests/rig/engine_driver.h"
#include "tests/rig/rig_fixture.h"
#include "tests/rig/signal_analysis.h"
#include "tests/rig/sound_fixture.h"
#include "tests/rig/sound_io.h"

namespace pelex::testing {
namespace {

using namespace std::chrono_literals;

constexpr double kPeerTone = 1000;  // the tone file the peer sends
constexpr double kUserTone = 700;   // what the user "says" into the phone's microphone

/// Sets an environment variable for its own lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class SoundEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        sound.emplace();
        ScopedEnv player("PELEX_RIG_PEER_PLAYER", "pulse");
        rig.emplace();
        peer = std::make_unique<BaresipControl>(SipRig::peerControlPort());
    }
    void TearDown() override {
        phone.reset();
        peer.reset();
        rig.reset();
        sound.reset();
    }

    EngineDriver& registeredPhone() {
        phone = std::make_unique<EngineDriver>(SipRig::serverAddress(), SipRig::kPhoneUser, SipRig::kPhonePassword);
        phone->engine->Init();
        if (!phone->waitForEvent("RegOK 2", 10s, peer.get())) throw std::runtime_error("the phone did not register");
        return *phone;
    }
    void callPeer(const char* user) {
        const auto address = QString::fromStdString(std::string(user) + "@" + SipRig::serverAddress());
        phone->engine->URIher = address.toStdU16String();
        phone->engine->HerName = QString::fromLatin1(user).toStdU16String();
        phone->engine->Connect();
        ASSERT_TRUE(phone->waitForEvent("Status Line 1 CONNECTED", 10s, peer.get()));
    }

    std::optional<SoundRig> sound;
    std::optional<SipRig> rig;
    std::unique_ptr<BaresipControl> peer;
    std::unique_ptr<EngineDriver> phone;
};

TEST_F(SoundEndToEnd, EachSideHearsTheOtherThroughTheDesktopsDefaultDevices) {
    auto& p = registeredPhone();
    SourceRecorder userHears(SoundRig::monitorOf(SoundRig::kPhoneSpeaker));
    SourceRecorder peerHears(SoundRig::monitorOf(SoundRig::kPeerSpeaker));
    callPeer("1001");
    p.pump(1s, peer.get());
    SoundPlayer voice(SoundRig::kPhoneMicFeed, makeTone(kUserTone, 2.0, 8000, 10000));
    p.waitFor([&] { return voice.wait(0ms); }, 5s, peer.get());
    p.pump(500ms, peer.get());
    p.engine->Terminate();
    ASSERT_TRUE(p.waitForEvent("Status Line 1 DISCONNECTED", 5s, peer.get()));

    const auto heard = userHears.audio();
    EXPECT_GT(toneSeconds(heard.samples, heard.rate, kPeerTone), 2.5) << "the peer's voice reaches the phone's speaker";
    EXPECT_EQ(toneSeconds(heard.samples, heard.rate, 440), 0) << "no test tone anywhere";
    const auto received = peerHears.audio();
    EXPECT_GT(toneSeconds(received.samples, received.rate, kUserTone), 1.6) << "the user's voice reaches the peer";
    EXPECT_EQ(toneSeconds(received.samples, received.rate, 440), 0) << "the phone sent its test tone";
}

}  // namespace
}  // namespace pelex::testing

int main(int argc, char** argv) {
    QTemporaryDir data;
    setenv("PELEX_SIP_DATA_DIR", data.path().toLocal8Bit().constData(), 1);
    unsetenv("PELEX_SIP_AUDIO");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
