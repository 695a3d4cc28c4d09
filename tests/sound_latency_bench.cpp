// Mouth-to-ear latency through the phone, beside the same path between two
// baresip user agents, all on one private sound server and one Kamailio; the
// phone's share of a core during the call; and its echo cancellation: the
// latency and CPU share of the user's way to the peer with it and without,
// and how much of the peer's voice comes back to the peer when the phone's
// microphone hears its speaker (6 dB down, 30 ms late). Prints `name value unit`.
//
// The mouth is the peer's microphone: tone bursts played into its feed sink
// are recorded from that sink's monitor; the ear is the monitor of the sink
// the receiving side plays into. Both recordings share one time line (each
// block stamped on arrival), so a burst's delay is the time between its two
// onsets.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <thread>

#include "tests/rig/baresip_control.h"
#include "tests/rig/engine_driver.h"
#include "tests/rig/rig_fixture.h"
#include "tests/rig/signal_analysis.h"
#include "tests/rig/sound_fixture.h"
#include "tests/rig/sound_io.h"

using namespace pelex::testing;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRate = 8000;
constexpr int kBursts = 10;
constexpr auto kBurstEvery = 800ms;
constexpr int kThreshold = 4000;

/// Bursts of 1 kHz, 60 ms each, `kBurstEvery` apart, after half a second of silence.
std::vector<std::int16_t> bursts() {
    std::vector<std::int16_t> out = makeSilence(0.5, kRate);
    for (int i = 0; i < kBursts; ++i) {
        const auto burst = makeTone(1000, 0.06, kRate, 14000);
        out.insert(out.end(), burst.begin(), burst.end());
        const auto gap = makeSilence(std::chrono::duration<double>(kBurstEvery).count() - 0.06, kRate);
        out.insert(out.end(), gap.begin(), gap.end());
    }
    return out;
}

/// The delay of every burst found at the mouth and then at the ear, in ms.
std::vector<double> delays(const SourceRecorder& mouth, const SourceRecorder& ear) {
    const auto said = mouth.audio(), heard = ear.audio();
    std::vector<double> out;
    std::size_t m = 0, e = 0;
    while (auto onset = firstAbove(said.samples, kThreshold, m)) {
        const auto spoken = mouth.timeOf(*onset);
        // The first loud sample at the ear after the burst was spoken, within 600 ms.
        while (e < heard.samples.size() && ear.timeOf(e) < spoken) ++e;
        if (auto arrival = firstAbove(heard.samples, kThreshold, e)) {
            const double ms = std::chrono::duration<double, std::milli>(ear.timeOf(*arrival) - spoken).count();
            if (ms < 600) {
                out.push_back(ms);
                e = *arrival + kRate / 4;
            }
        }
        m = *onset + kRate / 4;  // past this burst
    }
    return out;
}

double median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + 1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

void print(const char* name, double value, const char* unit) { std::printf("%s %.1f %s\n", name, value, unit), std::fflush(stdout); }

bool waitPeer(BaresipControl& peer, const std::string& type, const std::string& aor, std::chrono::milliseconds limit,
              EngineDriver* phone = nullptr) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (phone) phone->pump(20ms, &peer);
        else {
            peer.poll();
            std::this_thread::sleep_for(20ms);
        }
        if (peer.has(type, aor)) return true;
    }
    return false;
}

/// Plays `samples` (by default the bursts) into `sink` while `turn` keeps things going.
void speak(const std::function<void()>& turn, const std::string& sink = SoundRig::kPeerMicFeed,
           std::vector<std::int16_t> samples = bursts()) {
    SoundPlayer voice(sink, std::move(samples));
    while (!voice.wait(0ms)) turn();
}

/// A call from the phone to the peer (1001) with echo cancellation on or off.
class PhoneCall {
public:
    explicit PhoneCall(BaresipControl& peer, bool echoCancel) : peer_(peer) {
        choices_->choice.echoCancel = echoCancel;
        phone_.engine->Init();
        if (!phone_.waitForEvent("RegOK 2", 10s, &peer_)) throw std::runtime_error("the phone did not register");
        phone_.engine->URIher = QString::fromStdString("1001@" + SipRig::serverAddress()).toStdU16String();
        phone_.engine->HerName = u"1001";
        phone_.engine->Connect();
        if (!phone_.waitForEvent("Status Line 1 CONNECTED", 10s, &peer_)) throw std::runtime_error("no call");
        phone_.pump(1500ms, &peer_);
    }
    ~PhoneCall() {
        phone_.engine->Terminate();
        phone_.waitForEvent("Status Line 1 DISCONNECTED", 5s, &peer_);
        phone_.pump(500ms, &peer_);
    }
    PhoneCall(const PhoneCall&) = delete;
    PhoneCall& operator=(const PhoneCall&) = delete;

    void turn() { phone_.pump(10ms, &peer_); }
    void pump(std::chrono::milliseconds time) { phone_.pump(time, &peer_); }

private:
    BaresipControl& peer_;
    std::shared_ptr<MemoryAudioChoices> choices_ = std::make_shared<MemoryAudioChoices>();
    EngineDriver phone_{SipRig::serverAddress(), SipRig::kPhoneUser, SipRig::kPhonePassword, linphoneWithChoices(choices_)};
};

struct Direction {
    std::vector<double> delays;
    double cpuShare = -1;
};

/// Bursts said at `mouthSink`, heard at `earSink`, during `call`.
Direction measure(PhoneCall& call, const std::string& mouthSink, const std::string& earSink) {
    SourceRecorder mouth(SoundRig::monitorOf(mouthSink));
    SourceRecorder ear(SoundRig::monitorOf(earSink));
    const double cpuBefore = cpuSeconds();
    const auto wallBefore = Clock::now();
    speak([&] { call.turn(); }, mouthSink);
    call.pump(500ms);
    Direction out;
    out.cpuShare = 100.0 * (cpuSeconds() - cpuBefore) / std::chrono::duration<double>(Clock::now() - wallBefore).count();
    out.delays = delays(mouth, ear);
    return out;
}

/// The peer's voice (a voice carrying 1 kHz, peak 14000) as it comes back to
/// the peer's speaker after two seconds of the call.
EchoLevel echoReturned(BaresipControl& peer, bool echoCancel) {
    PhoneCall call(peer, echoCancel);
    SourceRecorder peerHears(SoundRig::monitorOf(SoundRig::kPeerSpeaker));
    speak([&] { call.turn(); }, SoundRig::kPeerMicFeed, makeVoicedSyllables(1000, 6.0, kRate, 14000));
    const auto heard = peerHears.audio();
    return echoLevel(heard.samples, heard.rate, 1000, 2.5, 6.0);
}

double maxOf(const std::vector<double>& v) { return v.empty() ? -1 : *std::max_element(v.begin(), v.end()); }

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir data;
    setenv("PELEX_SIP_DATA_DIR", data.path().toLocal8Bit().constData(), 1);
    unsetenv("PELEX_SIP_AUDIO");
    QCoreApplication app(argc, argv);
    try {
        SoundRig sound;
        sound.addSink("pair_speaker", "Second peer speaker");
        auto options = SipRigOptions::peerOnSoundServer();
        options.secondPeer = true;
        SipRig rig(options);
        BaresipControl peer(SipRig::peerControlPort());

        // The phone: the peer (1001) talks, the phone's speaker is the ear;
        // then the user talks and the peer's speaker is the ear. The user's
        // way passes the echo canceller: once with it, once without.
        Direction toPhone, fromPhone, fromPhoneWithoutCanceller;
        {
            PhoneCall call(peer, true);
            toPhone = measure(call, SoundRig::kPeerMicFeed, SoundRig::kPhoneSpeaker);
            fromPhone = measure(call, SoundRig::kPhoneMicFeed, SoundRig::kPeerSpeaker);
        }
        {
            PhoneCall call(peer, false);
            fromPhoneWithoutCanceller = measure(call, SoundRig::kPhoneMicFeed, SoundRig::kPeerSpeaker);
        }
        const auto& phoneDelays = toPhone.delays;
        const double cpuShare = toPhone.cpuShare;

        // A laptop: the phone's microphone hears its speaker.
        const int echo = sound.addEcho(SoundRig::kPhoneSpeaker, SoundRig::kPhoneMicFeed, 30, -6);
        const EchoLevel echoWithout = echoReturned(peer, false);
        const EchoLevel echoWith = echoReturned(peer, true);
        const EchoReduction echoGone = echoReduction(echoWithout, echoWith);
        sound.removeModule(echo);

        // Two baresip user agents: the peer (1001) calls the second peer (1004).
        peer.clear();
        peer.send("uafind", "sip:1001@" + SipRig::serverAddress());
        peer.send("dial", "sip:1004@" + SipRig::serverAddress());
        if (!waitPeer(peer, "CALL_ESTABLISHED", "1001", 10s)) throw std::runtime_error("the peers did not connect");
        std::this_thread::sleep_for(1500ms);
        SourceRecorder mouth(SoundRig::monitorOf(SoundRig::kPeerMicFeed));
        SourceRecorder ear(SoundRig::monitorOf("pair_speaker"));
        speak([&] {
            peer.poll();
            std::this_thread::sleep_for(10ms);
        });
        std::this_thread::sleep_for(500ms);
        const auto pairDelays = delays(mouth, ear);
        peer.send("hangup");

        print("mouth_to_ear_phone_median", median(phoneDelays), "ms");
        print("mouth_to_ear_phone_max", maxOf(phoneDelays), "ms");
        print("mouth_to_ear_phone_bursts_found", double(phoneDelays.size()), "of_10");
        print("mouth_to_ear_baresip_pair_median", median(pairDelays), "ms");
        print("mouth_to_ear_baresip_pair_max", pairDelays.empty() ? -1 : *std::max_element(pairDelays.begin(), pairDelays.end()), "ms");
        print("mouth_to_ear_baresip_pair_bursts_found", double(pairDelays.size()), "of_10");
        print("phone_cpu_share_in_call", cpuShare, "percent_of_a_core");
        print("mouth_to_ear_to_peer_median", median(fromPhone.delays), "ms");
        print("mouth_to_ear_to_peer_without_echo_cancellation_median", median(fromPhoneWithoutCanceller.delays), "ms");
        print("mouth_to_ear_to_peer_bursts_found", double(fromPhone.delays.size()), "of_10");
        print("phone_cpu_share_user_talking", fromPhone.cpuShare, "percent_of_a_core");
        print("phone_cpu_share_user_talking_without_echo_cancellation", fromPhoneWithoutCanceller.cpuShare,
              "percent_of_a_core");
        print("echo_returned_without_cancellation", echoWithout.level, "tone_peak_of_7000");
        print("echo_returned_with_cancellation", echoWith.level, "tone_peak_of_7000");
        print("echo_reduction", echoGone.db, "dB");
        print("echo_quarter_seconds_20_db_down", 100 * echoGone.quietShare, "percent");
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pelex-sound-latency-bench: %s\n", e.what());
        return 1;
    }
}
