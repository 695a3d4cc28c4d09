// The private sound server and the peers' sound on it, as the sound tests
// and benchmarks use them; and the phone's own connection to it (sound/).
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <thread>

#include "sound/alert_player.h"
#include "sound/sound_server.h"
#include "tests/rig/baresip_control.h"
#include "tests/rig/rig_fixture.h"
#include "tests/rig/scoped_env.h"
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
    const ScopedEnv gone("PULSE_SERVER", server);
    EXPECT_THROW(pactl({"info"}), std::runtime_error);
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


// ---- The phone's connection to the server (sound/) ----

/// Runs the event loop (the server's signals arrive through it) until `done`.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        QCoreApplication::processEvents();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(10ms);
    }
}

bool hasDevice(const std::vector<sound::Device>& devices, const std::string& description) {
    return std::any_of(devices.begin(), devices.end(), [&](const sound::Device& d) { return d.description == description; });
}

/// The phone's playback streams on the server, each as "role name sink" from `pactl list sink-inputs`.
std::vector<std::string> phoneStreams() {
    std::map<std::string, std::string> sinkNames;  // by index
    std::istringstream sinks(pactl({"list", "short", "sinks"}));
    for (std::string index, name, rest; sinks >> index >> name && std::getline(sinks, rest);) sinkNames[index] = name;
    std::vector<std::string> streams;
    std::istringstream in(pactl({"list", "sink-inputs"}));
    std::string role, name, sink;
    bool phone = false;
    auto flush = [&] {
        if (phone) streams.push_back(role + " " + name + " " + sinkNames[sink]);
        role = name = sink = {};
        phone = false;
    };
    auto value = [](const std::string& line) {
        auto v = line.substr(line.find_first_of("=:") + 2);
        if (v.size() >= 2 && v.front() == '"') v = v.substr(1, v.size() - 2);
        return v;
    };
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Sink Input #", 0) == 0) flush();
        if (line.find("media.role = ") != std::string::npos) role = value(line);
        if (line.find("media.name = ") != std::string::npos) name = value(line);
        if (line.find("\tSink: ") != std::string::npos) sink = value(line);
        if (line.find("application.name = \"Pelex phone\"") != std::string::npos) phone = true;
    }
    flush();
    return streams;
}

std::shared_ptr<const sound::PcmSound> toneSound(double frequency, double seconds) {
    const auto samples = makeTone(frequency, seconds, 22050, 12000);
    auto sound = std::make_shared<sound::PcmSound>();
    sound->sampleRate = 22050;
    sound->samples.resize(samples.size() * 2);
    std::memcpy(sound->samples.data(), samples.data(), sound->samples.size());
    return sound;
}

const sound::StreamTags kRingTags{"event", "Incoming call", "phone-incoming-call"};

TEST(SoundServerConnection, KnowsTheDevicesAndDefaultsAndFollowsTheirChanges) {
    SoundRig rig;
    sound::SoundServer server;
    int devicesChanged = 0, stateChanged = 0;
    QObject::connect(&server, &sound::SoundServer::devicesChanged, [&] { ++devicesChanged; });
    QObject::connect(&server, &sound::SoundServer::stateChanged, [&] { ++stateChanged; });
    ASSERT_TRUE(pumpUntil([&] { return server.state().running; }, 10s));
    auto state = server.state();
    EXPECT_TRUE(state.known && state.answering);
    EXPECT_EQ(state.defaultSpeaker, "Phone speaker");
    EXPECT_EQ(state.defaultMicrophone, "Phone microphone");
    EXPECT_TRUE(hasDevice(state.speakers, "Peer speaker"));
    EXPECT_TRUE(hasDevice(state.microphones, "Peer microphone"));
    EXPECT_FALSE(hasDevice(state.microphones, "Monitor of Phone speaker")) << "a monitor is no microphone";
    EXPECT_EQ(devicesChanged, 1);

    // A headset is plugged in, then made the default: heard of at once.
    const int headset = rig.addSink("headset", "Headset");
    ASSERT_TRUE(pumpUntil([&] { return hasDevice(server.state().speakers, "Headset"); }, 5s));
    EXPECT_EQ(devicesChanged, 2);
    const int changesBefore = stateChanged;
    pactl({"set-default-sink", "headset"});
    ASSERT_TRUE(pumpUntil([&] { return server.state().defaultSpeaker == "Headset"; }, 5s));
    EXPECT_GT(stateChanged, changesBefore);
    EXPECT_EQ(devicesChanged, 2) << "a new default is no new device";
    // A monitor made the default source leaves the phone without a microphone.
    pactl({"set-default-source", "phone_speaker.monitor"});
    ASSERT_TRUE(pumpUntil([&] { return server.state().defaultMicrophone.empty(); }, 5s));
    // Unplugged: gone, and the server's default falls back.
    rig.removeModule(headset);
    ASSERT_TRUE(pumpUntil([&] { return !hasDevice(server.state().speakers, "Headset"); }, 5s));
    EXPECT_EQ(devicesChanged, 3);
    EXPECT_NE(server.state().defaultSpeaker, "Headset");
}

TEST(SoundServerConnection, ConnectsAgainWhenTheServerComesBackAndNoticesOneThatStopsAnswering) {
    auto rig = std::make_unique<SoundRig>();
    sound::SoundServer server("Pelex phone", {300ms, 300ms, 200ms, 1600ms});
    ASSERT_TRUE(pumpUntil([&] { return server.state().running; }, 10s));

    // Stopped (SIGSTOP): the connection stays, the answers stop.
    rig->freeze();
    ASSERT_TRUE(pumpUntil([&] { return !server.state().answering; }, 5s));
    EXPECT_TRUE(server.state().running);
    rig->thaw();
    ASSERT_TRUE(pumpUntil([&] { return server.state().answering; }, 5s));

    // Gone, and a server again (a new one: the desktop's session restarted it).
    int devicesChanged = 0;
    QObject::connect(&server, &sound::SoundServer::devicesChanged, [&] { ++devicesChanged; });
    rig.reset();
    ASSERT_TRUE(pumpUntil([&] { return !server.state().running; }, 5s));
    EXPECT_TRUE(server.state().known);
    EXPECT_TRUE(server.state().speakers.empty());
    EXPECT_EQ(devicesChanged, 1);
    rig = std::make_unique<SoundRig>();
    ASSERT_TRUE(pumpUntil([&] { return server.state().running; }, 10s));
    EXPECT_EQ(server.state().defaultSpeaker, "Phone speaker");
    EXPECT_EQ(devicesChanged, 2);
}

TEST(SoundServerConnection, PlaysAlertsWhereAskedTaggedAndCutsThemOff) {
    SoundRig rig;
    auto server = std::make_shared<sound::SoundServer>();
    ASSERT_TRUE(pumpUntil([&] { return server->state().running; }, 10s));
    sound::AlertPlayer player(server);
    SourceRecorder speaker(SoundRig::monitorOf(SoundRig::kPhoneSpeaker));
    SourceRecorder peerSpeaker(SoundRig::monitorOf(SoundRig::kPeerSpeaker));

    // On the default output, tagged, and gone once played.
    player.play(toneSound(880, 0.8), kRingTags);
    std::vector<std::string> streams;
    ASSERT_TRUE(pumpUntil([&] { return !(streams = phoneStreams()).empty(); }, 5s));
    EXPECT_EQ(streams, std::vector<std::string>{"event Incoming call phone_speaker"});
    ASSERT_TRUE(pumpUntil([&] { return phoneStreams().empty(); }, 5s)) << "the stream ends with its sound";
    // On a chosen device; a device that is gone falls back on the default.
    player.play(toneSound(660, 0.8), {"phone", "Calling", ""}, "peer_speaker");
    ASSERT_TRUE(pumpUntil([&] { return phoneStreams() == std::vector<std::string>{"phone Calling peer_speaker"}; }, 5s));
    ASSERT_TRUE(pumpUntil([&] { return phoneStreams().empty(); }, 5s));
    player.play(toneSound(440, 0.8), kRingTags, "unplugged_headset");
    ASSERT_TRUE(pumpUntil([&] { return phoneStreams() == std::vector<std::string>{"event Incoming call phone_speaker"}; }, 5s));
    ASSERT_TRUE(pumpUntil([&] { return phoneStreams().empty(); }, 5s));
    // A long sound cut off after a moment, and one cut by the next.
    player.play(toneSound(1200, 4.0), kRingTags);
    ASSERT_TRUE(pumpUntil([&] { return !phoneStreams().empty(); }, 5s));
    std::this_thread::sleep_for(500ms);
    player.stop();
    ASSERT_TRUE(pumpUntil([&] { return phoneStreams().empty(); }, 5s)) << "stop ends the stream";
    player.play(toneSound(1500, 4.0), kRingTags);
    std::this_thread::sleep_for(300ms);
    player.play(toneSound(1000, 0.5), kRingTags);
    ASSERT_TRUE(pumpUntil([&] { return phoneStreams().size() == 1; }, 5s)) << "one sound at a time";
    ASSERT_TRUE(pumpUntil([&] { return phoneStreams().empty(); }, 5s));
    std::this_thread::sleep_for(300ms);

    const auto heard = speaker.audio();
    const auto elsewhere = peerSpeaker.audio();
    EXPECT_GT(toneSeconds(heard.samples, heard.rate, 880), 0.5);
    EXPECT_EQ(toneSeconds(heard.samples, heard.rate, 660), 0) << "played on the chosen device only";
    EXPECT_GT(toneSeconds(elsewhere.samples, elsewhere.rate, 660), 0.5);
    EXPECT_GT(toneSeconds(heard.samples, heard.rate, 440), 0.5);
    EXPECT_LT(toneSeconds(heard.samples, heard.rate, 1200), 1.5) << "cut off after about half a second";
    EXPECT_LT(toneSeconds(heard.samples, heard.rate, 1500), 1.0) << "cut off by the next sound";
    EXPECT_GT(toneSeconds(heard.samples, heard.rate, 1000), 0.3);
}

TEST(SoundServerConnection, AlertsNeverWaitOnAStoppedServerAndLeaveNoStreamBehind) {
    SoundRig rig;
    auto server = std::make_shared<sound::SoundServer>();
    ASSERT_TRUE(pumpUntil([&] { return server->state().running; }, 10s));
    sound::AlertPlayer player(server);
    rig.freeze();
    // A ring every two seconds while the server is stopped, then the answer.
    std::chrono::steady_clock::duration longest{};
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        player.play(toneSound(880, 0.8), kRingTags);
        longest = std::max(longest, std::chrono::steady_clock::now() - start);
        QCoreApplication::processEvents();
    }
    auto start = std::chrono::steady_clock::now();
    player.stop();
    longest = std::max(longest, std::chrono::steady_clock::now() - start);
    EXPECT_LT(longest, 1s) << "play and stop return at once (a blocked one waits until the server answers)";
    rig.thaw();
    // Every stream asked for meanwhile is ended once the server made it.
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(pumpUntil([&] { return phoneStreams().empty(); }, 5s)) << phoneStreams().size();
    // And the player works on.
    SourceRecorder speaker(SoundRig::monitorOf(SoundRig::kPhoneSpeaker));
    player.play(toneSound(700, 0.8), kRingTags);
    ASSERT_TRUE(pumpUntil([&] { return !phoneStreams().empty(); }, 5s));
    ASSERT_TRUE(pumpUntil([&] { return phoneStreams().empty(); }, 5s));
    std::this_thread::sleep_for(200ms);
    const auto heard = speaker.audio();
    EXPECT_GT(toneSeconds(heard.samples, heard.rate, 700), 0.5);
    EXPECT_EQ(toneSeconds(heard.samples, heard.rate, 880), 0) << "the rings cut off while stopped never play";
}

}  // namespace
}  // namespace pelex::testing

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
