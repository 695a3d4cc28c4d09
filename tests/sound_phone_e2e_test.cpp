// The phone control's alert sounds on a real sound server, with the real
// engine, Kamailio and a baresip peer: the ring of an incoming call and the
// ring-back of an outgoing one are heard in the phone's speaker, stop when
// the call is answered, and the stack adds no ring-back of its own.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "control/alert_output.h"
#include "control/wave_sounds.h"
#include "tests/rig/phone_fixture.h"
#include "tests/rig/signal_analysis.h"
#include "tests/rig/sound_fixture.h"
#include "tests/rig/sound_io.h"
#include "tests/rig/stall_watch.h"

namespace pelex::testing {
namespace {

using namespace std::chrono_literals;

constexpr double kRingTone = 1200;     // the ring's upper trill note
constexpr double kRingLowTone = 960;   // and its lower one
constexpr double kRingBackTone = 440;  // one of the ring-back's two tones
constexpr double kPeerTone = 1000;     // what the peer sends once connected

// Under the address sanitizer the stack itself runs several times slower
// (parsing one INVITE took a second on a loaded machine): time bounds widen.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSlowdown = 5;
#else
constexpr int kSlowdown = 1;
#endif
/// How long after the answer, counted in samples recorded by then, an alert
/// sound's last buffers may still be heard: half a second. The recording
/// lags the answer by its own buffer, and on PipeWire with three sound rigs
/// running at once the last ring came 0.35 s after the click.
constexpr std::size_t drainSamples(int rate) { return static_cast<std::size_t>(rate / 2); }

// The ring alternates two notes every 25 ms: a 50 ms block holds half of each.
const ToneCriteria kAlert{2000, 0.15, 2, 50};

class AlertSounds : public PhoneOnRig {
protected:
    void SetUp() override {
        sound.emplace();
        soundServer = std::make_shared<sound::SoundServer>();  // the engine's too
        audioOutput = std::make_shared<control::ServerAlertOutput>(soundServer, nullptr);
    }
    void TearDown() override {
        PhoneOnRig::TearDown();
        sound.reset();
    }
    void startSoundRig(std::string peerAnswer) {
        SipRigOptions options;
        options.peerAnswer = std::move(peerAnswer);
        options.peerPlayer = "pulse";
        startRig(options);
    }

    /// A playback stream of this process on the server: who made it, what for.
    struct Stream {
        std::string application, role;
    };
    /// The playback streams this process has open on the server.
    static std::vector<Stream> ownPlaybackStreams() {
        std::vector<Stream> streams;
        std::istringstream in(pactl({"list", "sink-inputs"}));
        Stream stream;
        bool ours = false;
        const std::string pid = "\"" + std::to_string(::getpid()) + "\"";
        auto value = [](const std::string& line) { return line.substr(line.find('=') + 2); };
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("Sink Input #", 0) == 0) {
                if (ours) streams.push_back(stream);
                stream = {};
                ours = false;
            }
            if (line.find("application.name = ") != std::string::npos) stream.application = value(line);
            if (line.find("media.role = ") != std::string::npos) stream.role = value(line);
            if (line.find("application.process.id = " + pid) != std::string::npos) ours = true;
        }
        if (ours) streams.push_back(stream);
        return streams;
    }
    /// Pumps for `time` and collects the streams seen in the meantime.
    std::vector<Stream> pumpWatchingStreams(std::chrono::milliseconds time) {
        std::vector<Stream> seen;
        const auto end = Clock::now() + time;
        while (Clock::now() < end) {
            pump(200ms);
            for (auto& n : ownPlaybackStreams()) seen.push_back(n);
        }
        return seen;
    }
    /// Only the control's own sound, tagged `role`: nothing from the stack.
    static bool onlyTheControlsOwn(const std::vector<Stream>& streams, const std::string& role) {
        return std::all_of(streams.begin(), streams.end(), [&](const Stream& s) {
            return s.application == "\"Pelex phone\"" && s.role == "\"" + role + "\"";
        });
    }

    std::optional<SoundRig> sound;
};

TEST_F(AlertSounds, TheRingIsHeardOnAnIncomingCallAndStopsOnAnswer) {
    startSoundRig("auto");
    signInAndWaitUntilReady();
    SourceRecorder speaker(SoundRig::monitorOf(SoundRig::kPhoneSpeaker));
    peerCallsThePhone();
    ASSERT_TRUE(waitFor([&] { return display() == "Line 1 INCOMING 1001"; }, 10s));
    const auto streams = pumpWatchingStreams(6500ms);
    EXPECT_FALSE(streams.empty()) << "the ring plays through the sound server";
    EXPECT_TRUE(onlyTheControlsOwn(streams, "event")) << "the stack rings too, or the ring is no event";

    const std::size_t answeredAt = speaker.size();
    button("imgCall")->click();
    ASSERT_TRUE(waitForEvent("Status Line 1 CONNECTED", 5s));
    pump(3s);
    button("imgDiscon")->click();
    ASSERT_TRUE(waitForEvent("CallDisconnect", 5s));

    const auto heard = speaker.audio();
    const std::span<const std::int16_t> all(heard.samples);
    const auto ringing = all.first(answeredAt);
    // The ring stops before the phone answers, so none of it may be heard
    // once the caller is. The caller's first words mark that moment on the
    // recording's own time line. The count of samples recorded at the click
    // is on the test's time line: under the sanitizers on a loaded machine,
    // ring was counted more than 0.5 s after it.
    const auto callerHeard = toneOnset(all, heard.rate, kPeerTone);
    ASSERT_TRUE(callerHeard.has_value()) << "the caller is heard once answered";
    const auto talking = all.subspan(*callerHeard);
    // Either note of the trill (a block centred on one hides the other).
    auto ring = [&](std::span<const std::int16_t> part) {
        return toneSeconds(part, heard.rate, kRingTone, kAlert) + toneSeconds(part, heard.rate, kRingLowTone, kAlert);
    };
    EXPECT_GE(ring(ringing), 0.2) << "the ring was heard";
    // While the ring sounds, one of its notes is in every block. A lone block
    // with a trace of either is not the ring: on PipeWire one came over a
    // second into the caller's tone, with no ring in the recording from
    // 0.37 s before the caller was heard to a second after.
    const auto blockOf = [&](const ToneBlock& b) { return b.amplitude >= kAlert.minAmplitude && b.share >= kAlert.minShare; };
    const auto high = toneBlocks(talking, heard.rate, kRingTone, kAlert.blockMs);
    const auto low = toneBlocks(talking, heard.rate, kRingLowTone, kAlert.blockMs);
    int run = 0, longest = 0;
    for (std::size_t i = 0; i < high.size(); ++i) {
        run = blockOf(high[i]) || blockOf(low[i]) ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    EXPECT_LT(longest, 2) << "the ring went on over the caller (" << ring(talking) << " s)";
    EXPECT_GT(toneSeconds(talking, heard.rate, kPeerTone), 1.5) << "the caller is heard once answered";
}

TEST_F(AlertSounds, TheRingBackIsHeardWhileTheCalledPartyIsAlertedAndStopsWhenItAnswers) {
    startSoundRig("manual");
    signInAndWaitUntilReady();
    SourceRecorder speaker(SoundRig::monitorOf(SoundRig::kPhoneSpeaker));
    dial("1001");
    ASSERT_TRUE(waitForPeer("CALL_INCOMING", "1001", 10s));
    ASSERT_TRUE(waitFor([&] { return callStatus() == "Ringing"; }, 5s));
    const auto streams = pumpWatchingStreams(4500ms);
    EXPECT_FALSE(streams.empty()) << "the ring-back plays through the sound server";
    EXPECT_TRUE(onlyTheControlsOwn(streams, "phone")) << "a second ring-back from the stack, or not the call's";

    const std::size_t answeredAt = speaker.size();
    peer->send("accept");
    ASSERT_TRUE(waitForEvent("Status Line 1 CONNECTED", 5s));
    pump(3s);
    button("imgDiscon")->click();
    ASSERT_TRUE(waitForEvent("CallDisconnect", 5s));

    const auto heard = speaker.audio();
    const std::span<const std::int16_t> all(heard.samples);
    const auto alerted = all.first(answeredAt);
    const auto talking = all.subspan(std::min(all.size(), answeredAt + drainSamples(heard.rate)));
    const double ringBack = toneSeconds(alerted, heard.rate, kRingBackTone, kAlert);
    EXPECT_GE(ringBack, 0.5) << "the ring-back was heard";
    // Ours sounds 0.66 s every 2 s; one more from anywhere would fill the gaps.
    EXPECT_LE(ringBack / (double(answeredAt) / heard.rate), 0.5) << ringBack << " s of ring-back";
    EXPECT_EQ(toneSeconds(talking, heard.rate, kRingBackTone, kAlert), 0) << "the ring-back went on after the answer";
    EXPECT_GT(toneSeconds(talking, heard.rate, kPeerTone), 1.5) << "the called party is heard";
}


TEST_F(AlertSounds, TheRingSoundsOnTheDesktopsOutputAndTheRingBackOnTheCallsSpeaker) {
    // The user talks through a headset (the call's speaker); the desktop's
    // default output stays the loudspeaker.
    sound->addSink("headset", "Headset");
    struct Choices : sip_engine::AudioChoiceStore {
        sip_engine::AudioChoice load() override { return choice; }
        void save(const sip_engine::AudioChoice& c) override { choice = c; }
        sip_engine::AudioChoice choice{"", "PulseAudio Unknown: Headset", ""};
    };
    auto choices = std::make_shared<Choices>();
    control::ServerAlertOutput output(soundServer, choices);
    ASSERT_TRUE(waitFor([&] { return soundServer->state().speakerDescribed("Headset") != nullptr; }, 10s));
    SourceRecorder speaker(SoundRig::monitorOf(SoundRig::kPhoneSpeaker));
    SourceRecorder headset(SoundRig::monitorOf("headset"));
    SourceRecorder peerSpeaker(SoundRig::monitorOf(SoundRig::kPeerSpeaker));
    // The ring's trill changes note every 25 ms: in a block that is centred
    // on the other note, the window hides this one. Either note counts.
    auto heard = [](const SourceRecorder& r, double tone) {
        const auto a = r.audio();
        const double other = tone == kRingTone ? kRingLowTone : tone;
        return toneSeconds(a.samples, a.rate, tone, kAlert) + (other != tone ? toneSeconds(a.samples, a.rate, other, kAlert) : 0);
    };
    output.playAsync(control::waveResource(control::kRingSound), platform::SoundUse::Ring);
    ASSERT_TRUE(waitFor([&] { return heard(speaker, kRingTone) >= 0.2; }, 5s)) << "the ring on the desktop's output";
    output.playAsync(control::waveResource(control::kRingBackSound), platform::SoundUse::RingBack);
    ASSERT_TRUE(waitFor([&] { return heard(headset, kRingBackTone) >= 0.2; }, 5s)) << "the ring-back on the call's";
    // A ring device of the user's own choosing.
    choices->choice.ring = "PulseAudio Unknown: Peer speaker";
    output.playAsync(control::waveResource(control::kRingSound), platform::SoundUse::Ring);
    ASSERT_TRUE(waitFor([&] { return heard(peerSpeaker, kRingTone) >= 0.2; }, 5s)) << "the ring on the chosen device";
    output.stop();
    EXPECT_EQ(heard(headset, kRingTone), 0) << "the ring is not only in the headset";
    EXPECT_EQ(heard(speaker, kRingBackTone), 0) << "the ring-back stays with the call";
}

TEST_F(AlertSounds, AStoppedSoundServerHoldsUpNeitherTheWindowNorTheCalls) {
    // The desktop's server stops answering for a while (as it may after a
    // resume) while the user is called and calls. (The peer plays nothing
    // through it: it would stop with it.)
    SipRigOptions options;
    options.peerAnswer = "manual";
    startRig(options);
    signInAndWaitUntilReady();
    sound->freeze();
    ASSERT_TRUE(waitFor([&] { return shown("lblSoundNote"); }, 10s)) << "the phone notices";
    EXPECT_EQ(text("lblSoundNote"), "The sound server is not answering: calls are silent until it answers again.");
    StallWatch watch;

    // Called: the 180 and the line's text on time, a ring or two against
    // the stopped server, and the caller's cancel read at once.
    const auto dialled = Clock::now();
    peerCallsThePhone();
    ASSERT_TRUE(waitForPeer("CALL_RINGING", "1001", 5s));
    const auto ringing = Clock::now() - dialled;
    ASSERT_TRUE(waitFor([&] { return display() == "Line 1 INCOMING 1001"; }, 5s));
    EXPECT_LT(ringing, kSlowdown * 1s) << "the 180 waited";
    pump(4500ms);  // two rings
    peer->send("hangup");  // CANCEL
    const auto cancelled = Clock::now();
    ASSERT_TRUE(waitFor([&] { return display() == kIdleLine; }, 5s));
    EXPECT_LT(Clock::now() - cancelled, kSlowdown * 1s) << "the cancel waited";

    // Calling: the ring-back against the stopped server, the called party
    // answers, the call runs (without sound) and ends.
    peer->clear();
    dial("1001");
    ASSERT_TRUE(waitForPeer("CALL_INCOMING", "1001", 5s));
    ASSERT_TRUE(waitFor([&] { return callStatus() == "Ringing"; }, 5s));
    pump(4500ms);  // two ring-backs
    peer->send("accept");
    ASSERT_TRUE(waitFor([&] { return display() == "Line 1 CONNECTED"; }, 5s));
    pump(1s);
    button("imgDiscon")->click();
    ASSERT_TRUE(waitForPeer("CALL_CLOSED", "1001", 5s));
    EXPECT_LT(watch.longestMs(), kSlowdown * 500) << "the window stood still";

    // The server answers again: the note goes, and calls have sound again.
    sound->thaw();
    ASSERT_TRUE(waitFor([&] { return !shown("lblSoundNote"); }, 10s));
    SourceRecorder speaker(SoundRig::monitorOf(SoundRig::kPhoneSpeaker));
    peer->clear();
    dial("1001");
    ASSERT_TRUE(waitForPeer("CALL_INCOMING", "1001", 5s));
    peer->send("accept");
    ASSERT_TRUE(waitFor([&] { return display() == "Line 1 CONNECTED"; }, 5s));
    pump(2500ms);
    button("imgDiscon")->click();
    const auto heard = speaker.audio();
    EXPECT_GT(toneSeconds(heard.samples, heard.rate, kPeerTone), 1.0) << "the called party is heard again";
}

}  // namespace
}  // namespace pelex::testing
