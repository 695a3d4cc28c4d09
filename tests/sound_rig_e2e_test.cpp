// The private sound server and the peers' sound on it, as the sound tests
// and benchmarks use them.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/rig/baresip_control.h"
#include "tests/rig/rig_fixture.h"
#include "tests/rig/signal_analysis.h"
#include "tests/rig/sound_fixture.h"
#include "tests/rig/sound_io.h"

namespace pelex::testing {
namespace {

using namespace std::chrono_literals;

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

TEST(SoundRig, OffersTheDevicesAndAFeedIsHeardOnItsMicrophoneOnOneTimeLine) {
    SoundRig sound;
    EXPECT_EQ(std::string(std::getenv("PULSE_SERVER")), sound.server());
    const auto info = pactl({"info"});
    EXPECT_NE(info.find("Default Sink: phone_speaker"), std::string::npos) << info;
    EXPECT_NE(info.find("Default Source: phone_mic"), std::string::npos) << info;
    const auto sinks = pactl({"list", "short", "sinks"});
    for (const char* sink : {"phone_speaker", "phone_mic_feed", "peer_speaker", "peer_mic_feed"})
        EXPECT_NE(sinks.find(sink), std::string::npos) << sink;

    SourceRecorder mic(SoundRig::kPhoneMic);
    SourceRecorder feed(SoundRig::monitorOf(SoundRig::kPhoneMicFeed));
    SourceRecorder feedAgain(SoundRig::monitorOf(SoundRig::kPhoneMicFeed));
    SourceRecorder speaker(SoundRig::monitorOf(SoundRig::kPhoneSpeaker));
    ASSERT_TRUE(mic.waitForSamples(800, 3s));
    SoundPlayer voice(SoundRig::kPhoneMicFeed, makeTone(700, 1.0, 8000, 10000));
    ASSERT_TRUE(voice.wait(5s));
    std::this_thread::sleep_for(200ms);

    const auto heard = mic.audio();
    const auto onset = toneOnset(heard.samples, heard.rate, 700);
    ASSERT_TRUE(onset.has_value()) << "the tone played into the feed reaches the microphone";
    EXPECT_NEAR(toneSeconds(heard.samples, heard.rate, 700), 1.0, 0.2);
    // The same sound on two recorders lies at one moment of the shared time
    // line, and the microphone hears it no earlier than it was played.
    const auto fed = feed.audio(), fedAgain = feedAgain.audio();
    const auto fedOnset = firstAbove(fed.samples, 5000);
    const auto fedAgainOnset = firstAbove(fedAgain.samples, 5000);
    ASSERT_TRUE(fedOnset.has_value() && fedAgainOnset.has_value());
    const auto apart = feedAgain.timeOf(*fedAgainOnset) - feed.timeOf(*fedOnset);
    EXPECT_LT(std::chrono::abs(apart), 30ms) << std::chrono::duration<double, std::milli>(apart).count() << " ms";
    EXPECT_GT(mic.timeOf(*firstAbove(heard.samples, 5000)) - feed.timeOf(*fedOnset), -30ms);
    // Nothing was played into the speaker.
    const auto quiet = speaker.audio();
    EXPECT_FALSE(toneOnset(quiet.samples, quiet.rate, 700).has_value());
    EXPECT_LT(rms(quiet.samples), 50);
}

TEST(SoundRig, AnAddedDeviceCanBeRemovedAndTheServerStopsWithItsOwner) {
    SoundRig sound;
    const int module = sound.addSink("headset", "Test headset");
    EXPECT_NE(pactl({"list", "short", "sinks"}).find("headset"), std::string::npos);
    sound.removeModule(module);
    EXPECT_EQ(pactl({"list", "short", "sinks"}).find("headset"), std::string::npos);
    EXPECT_THROW(sound.removeModule(module), std::runtime_error);

    // A second server whose owner is a shell that ends at once: its watchdog
    // stops it within a few seconds.
    char pattern[] = "/tmp/pelex-sound-owner.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string script = PELEX_SOUND_SCRIPT;
    ASSERT_EQ(std::system(("bash -c 'PELEX_SOUND_OWNER_PID=$$ " + script + " start --dir " + dir + " > /dev/null'").c_str()), 0);
    const std::string status = script + " status --dir " + dir + " > /dev/null 2>&1";
    EXPECT_TRUE(waitUntil([&] { return std::system(status.c_str()) != 0; }, 6s)) << "the orphaned server still runs";
    [[maybe_unused]] int ignored = std::system((script + " stop --dir " + dir + " > /dev/null 2>&1").c_str());
    std::filesystem::remove_all(dir);

    // Stopping the rig takes the server away.
    const std::string server = sound.server();
    sound.stop();
    ::setenv("PULSE_SERVER", server.c_str(), 1);
    EXPECT_THROW(pactl({"info"}), std::runtime_error);
    ::unsetenv("PULSE_SERVER");
}

TEST(SoundRig, TwoPeersTalkThroughTheSoundServer) {
    SoundRig sound;
    sound.addSink("pair_speaker", "Second peer speaker");
    auto options = SipRigOptions::peerOnSoundServer();
    options.secondPeer = true;
    SipRig rig(options);
    BaresipControl peer(SipRig::peerControlPort());
    SourceRecorder heard(SoundRig::monitorOf("pair_speaker"));
    SourceRecorder answer(SoundRig::monitorOf(SoundRig::kPeerSpeaker));
    peer.send("dial", "sip:1004@" + SipRig::serverAddress());
    ASSERT_TRUE(waitUntil([&] { peer.poll(); return peer.has("CALL_ESTABLISHED"); }, 10s));
    std::this_thread::sleep_for(500ms);
    SoundPlayer voice(SoundRig::kPeerMicFeed, makeTone(900, 1.5, 8000, 10000));
    ASSERT_TRUE(voice.wait(5s));
    std::this_thread::sleep_for(500ms);
    peer.send("hangup");

    const auto pair = heard.audio();
    EXPECT_TRUE(toneOnset(pair.samples, pair.rate, 900).has_value()) << "the first peer's microphone reached the second";
    // The second peer sends its 1 kHz tone file back, played by the first.
    const auto back = answer.audio();
    EXPECT_TRUE(toneOnset(back.samples, back.rate, 1000).has_value()) << "the second peer's voice reached the first";
}

}  // namespace
}  // namespace pelex::testing

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
