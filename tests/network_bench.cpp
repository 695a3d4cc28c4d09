// pelex-network-bench: the phone's SIP engine on liblinphone behind the
// network rig's home router (rig/netns.sh), against Kamailio and baresip on
// the far side. Prints one "name value unit" line per figure, each the median
// of several runs:
//   reregister_after_address_change_ms   the phone's address changes while idle; until
//                                        the registrar accepted a registration from the
//                                        new address (its log's time of the answer)
//   reregister_after_link_up_ms          the same after the link comes back from a
//                                        short loss of carrier
//   reregister_after_resume_ms           the same after logind (a stand-in on a private
//                                        system bus) says the machine woke up
//   call_audio_back_after_address_change_ms   in a call, the phone's address changes:
//                                        until the far end hears the phone's tone again
//                                        for half a second without a break (0: no break)
//   call_audio_back_at_phone_after_address_change_ms   the same the other way
//   tone_blocks_phone_loss_<N>           at N % random RTP loss both ways, the share of
//                                        20 ms blocks in which the phone plays the far
//                                        end's tone (and _to_far: the far end plays the
//                                        phone's); the phone conceals lost packets
//   tone_blocks_baresip_pair_loss_<N>    the same for two baresip user agents on the
//                                        same path (one on the phone's side), same run
//   idle_cpu_percent, flood_cpu_percent  one core's share of the registered, idle phone,
//                                        and under 1000 packets a second of junk to its
//                                        SIP port (10 s each; the sender's own share,
//                                        a thread of this process, taken off)
//   flood_longest_stall_ms               the longest the event loop stood still under it
// Runs as root (network namespaces). Arguments pick parts: reregister, call,
// loss, flood (default: all).
#include <sys/resource.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "tests/rig/baresip_control.h"
#include "tests/rig/engine_driver.h"
#include "tests/rig/network_rig.h"
#include "tests/rig/signal_analysis.h"
#include "tests/rig/sound_fixture.h"
#include "tests/rig/sound_io.h"
#include "tests/rig/system_bus.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Wall = std::chrono::system_clock;
using namespace pelex::testing;

constexpr double kTone = 1000;      // what the peers send
constexpr double kUserTone = 700;   // what the user says into the phone
constexpr int kRuns = 5;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

void print(const char* name, double value, const char* unit) { std::printf("%s %.1f %s\n", name, value, unit); }

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

/// The times of day (seconds) at which the registrar accepted the phone's registrations.
std::vector<double> registrationTimes() {
    std::vector<double> times;
    const std::string log = SipRig::registrarLog();
    for (auto at = log.find("rig: registered 1000 "); at != std::string::npos;
         at = log.find("rig: registered 1000 ", at + 1)) {
        const auto stamp = log.find(" at ", at);
        if (stamp != std::string::npos) times.push_back(std::strtod(log.c_str() + stamp + 4, nullptr));
    }
    return times;
}

double wallSeconds(Wall::time_point t) { return std::chrono::duration<double>(t.time_since_epoch()).count(); }

/// Waits for a registration accepted after `count` of them; ms from `since` to its answer.
double msToRegistration(EngineDriver& phone, std::size_t count, Wall::time_point since) {
    if (!phone.waitFor([&] { return registrationTimes().size() > count; }, 15s))
        throw std::runtime_error("the phone did not register again");
    return (registrationTimes()[count] - wallSeconds(since)) * 1000.0;
}

/// From `since`, ms until a run of 25 blocks (500 ms) with the tone begins.
double msUntilToneHolds(const SourceRecorder& recorder, double frequency, Clock::time_point since) {
    const Audio audio = recorder.audio();
    const auto blocks = toneBlocks(audio.samples, audio.rate, frequency, 20);
    int run = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (recorder.timeOf(blocks[i].start) < since) continue;
        run = blocks[i].amplitude >= 500 && blocks[i].share >= 0.3 ? run + 1 : 0;
        if (run == 25) {
            const auto began = recorder.timeOf(blocks[i - 24].start);
            return std::max(0.0, std::chrono::duration<double, std::milli>(began - since).count());
        }
    }
    return -1;
}

class Bench {
public:
    Bench() {
        sound.addSink("pair_speaker", "Second peer speaker");
        NetworkRigOptions options;
        options.sip.peerPlayer = "pulse";
        options.sip.peerToneSeconds = 900;
        options.sip.secondPeer = true;
        network.emplace(options);
        {
            auto far = network->enter(NetworkRig::Side::Far);
            peer = std::make_unique<BaresipControl>(SipRig::peerControlPort());
        }
        // The second peer runs on the phone's side, where this thread is.
        pair = std::make_unique<BaresipControl>(std::stoi(std::getenv("PELEX_RIG_SECOND_PEER_CTRL_PORT")));
        phone = std::make_unique<EngineDriver>(SipRig::serverAddress(), SipRig::kPhoneUser, SipRig::kPhonePassword);
        phone->engine->Init();
        if (!phone->waitForEvent("RegOK 2", 15s, peer.get())) throw std::runtime_error("the phone did not register");
    }

    void addressChanges() {
        std::vector<double> times;
        for (int i = 0; i < kRuns; ++i) {
            const auto count = registrationTimes().size();
            moveAddress();
            times.push_back(msToRegistration(*phone, count, Wall::now()));
            phone->pump(1s, peer.get());
        }
        print("reregister_after_address_change_ms", median(times), "ms");
    }

    void linkComesBack() {
        std::vector<double> times;
        for (int i = 0; i < kRuns; ++i) {
            network->linkDown();
            if (!phone->waitForEvent("Status Line 1 is waiting for the network.", 5s, peer.get()))
                throw std::runtime_error("the phone did not notice the link going down");
            phone->pump(2s, peer.get());
            phone->events.raised.clear();
            const auto count = registrationTimes().size();
            network->linkUp();
            times.push_back(msToRegistration(*phone, count, Wall::now()));
            phone->waitForEvent(kReady, 5s, peer.get());
            phone->pump(1s, peer.get());
        }
        print("reregister_after_link_up_ms", median(times), "ms");
    }

    void resumes(StandInLogind& logind) {
        std::vector<double> times;
        for (int i = 0; i < kRuns; ++i) {
            logind.prepareForSleep(true);
            phone->pump(1s, peer.get());
            const auto count = registrationTimes().size();
            logind.prepareForSleep(false);
            times.push_back(msToRegistration(*phone, count, Wall::now()));
            phone->pump(1s, peer.get());
        }
        print("reregister_after_resume_ms", median(times), "ms");
    }

    void callAcrossAddressChanges() {
        SoundPlayer voice(SoundRig::kPhoneMicFeed, makeTone(kUserTone, 120, 8000, 10000));
        callPeer();
        std::vector<double> toFar, toPhone;
        for (int i = 0; i < kRuns; ++i) {
            SourceRecorder farHears(SoundRig::monitorOf(SoundRig::kPeerSpeaker));
            SourceRecorder phoneHears(SoundRig::monitorOf(SoundRig::kPhoneSpeaker));
            phone->pump(1s, peer.get());
            const auto changed = Clock::now();
            moveAddress();
            phone->pump(4s, peer.get());
            toFar.push_back(msUntilToneHolds(farHears, kUserTone, changed));
            toPhone.push_back(msUntilToneHolds(phoneHears, kTone, changed));
        }
        hangUp();
        print("call_audio_back_after_address_change_ms", median(toFar), "ms");
        print("call_audio_back_at_phone_after_address_change_ms", median(toPhone), "ms");
    }

    void continuityUnderLoss() {
        struct Shares {
            std::vector<double> phone, phoneToFar, pair, pairToFar;
        };
        std::vector<Shares> levels(3);
        const double losses[] = {0, 5, 10};
        for (int run = 0; run < 3; ++run) {
            {
                SoundPlayer voice(SoundRig::kPhoneMicFeed, makeTone(kUserTone, 60, 8000, 10000));
                callPeer();
                for (int l = 0; l < 3; ++l) {
                    const auto [heard, far] = listenUnder(losses[l], SoundRig::kPhoneSpeaker, kTone, kUserTone);
                    levels[l].phone.push_back(heard);
                    levels[l].phoneToFar.push_back(far);
                }
                network->setLoss(0);
                hangUp();
            }
            // The second peer calls the first over the same router.
            peer->clear();
            pair->clear();
            pair->send("dial", "sip:1001@" + SipRig::serverAddress());
            if (!phone->waitFor([&] { return peer->has("CALL_ESTABLISHED", "1001"); }, 10s, peer.get()))
                throw std::runtime_error("the baresip pair did not connect");
            for (int l = 0; l < 3; ++l) {
                const auto [heard, far] = listenUnder(losses[l], "pair_speaker", kTone, kTone);
                levels[l].pair.push_back(heard);
                levels[l].pairToFar.push_back(far);
            }
            network->setLoss(0);
            peer->send("hangup");
            phone->waitFor([&] { return peer->has("CALL_CLOSED", "1001"); }, 5s, peer.get());
            phone->pump(1s, peer.get());
        }
        for (int l = 0; l < 3; ++l) {
            const auto name = [&](const char* what) {
                return std::string("tone_blocks_") + what + "_loss_" + std::to_string(int(losses[l]));
            };
            print(name("phone").c_str(), 100 * median(levels[l].phone), "percent");
            print(name("phone_to_far").c_str(), 100 * median(levels[l].phoneToFar), "percent");
            print(name("baresip_pair").c_str(), 100 * median(levels[l].pair), "percent");
            print(name("baresip_pair_to_far").c_str(), 100 * median(levels[l].pairToFar), "percent");
        }
    }

    void flood() {
        auto cpuOver = [&](std::chrono::seconds time) {
            const double before = cpuSeconds();
            const auto start = Clock::now();
            phone->pump(time, peer.get());
            return 100.0 * (cpuSeconds() - before) / std::chrono::duration<double>(Clock::now() - start).count();
        };
        phone->pump(2s, peer.get());
        print("idle_cpu_percent", cpuOver(10s), "percent_of_a_core");
        auto longest = 0ms;
        auto last = Clock::now();
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            longest = std::max(longest, std::chrono::duration_cast<std::chrono::milliseconds>(now - last));
            last = now;
        });
        JunkFlood junk(*network, NetworkRig::kPhoneAddress, NetworkRig::kPhoneSipPort, 1000);
        phone->pump(1s, peer.get());
        tick.start(10);
        last = Clock::now();
        // The sender runs in this process: its own share is not the phone's.
        const double senderBefore = junk.cpuSeconds();
        const auto start = Clock::now();
        const double share = cpuOver(10s);
        const double sender = 100.0 * (junk.cpuSeconds() - senderBefore) /
                              std::chrono::duration<double>(Clock::now() - start).count();
        print("flood_cpu_percent", share - sender, "percent_of_a_core");
        tick.stop();
        print("flood_longest_stall_ms", double(longest.count()), "ms");
    }

private:
    /// The phone's address moves between two addresses on its link.
    void moveAddress() {
        address = address == NetworkRig::kPhoneAddress ? "192.0.2.7" : NetworkRig::kPhoneAddress;
        network->changeAddress(address);
    }
    void callPeer() {
        peer->clear();
        phone->events.raised.clear();
        phone->engine->URIher = QString::fromStdString("1001@" + SipRig::serverAddress()).toStdU16String();
        phone->engine->HerName = u"1001";
        phone->engine->Connect();
        if (!phone->waitForEvent("Status Line 1 CONNECTED", 15s, peer.get())) throw std::runtime_error("no call");
        phone->pump(1500ms, peer.get());
    }
    void hangUp() {
        phone->engine->Terminate();
        phone->waitForEvent("Status Line 1 DISCONNECTED", 5s, peer.get());
        phone->pump(1s, peer.get());
    }
    /// Under `loss` %: the share of blocks with `nearTone` on `nearSpeaker`
    /// and with `farTone` on the far peer's speaker.
    std::pair<double, double> listenUnder(double loss, const std::string& nearSpeaker, double nearTone,
                                          double farTone) {
        network->setLoss(loss);
        phone->pump(1500ms, peer.get());
        SourceRecorder nearHears(SoundRig::monitorOf(nearSpeaker));
        SourceRecorder farHears(SoundRig::monitorOf(SoundRig::kPeerSpeaker));
        phone->pump(8s, peer.get());
        const Audio near = nearHears.audio(), far = farHears.audio();
        // PELEX_BENCH_KEEP names a folder to keep the recordings in, for a listen.
        if (const char* keep = std::getenv("PELEX_BENCH_KEEP")) {
            const std::string stem = std::string(keep) + "/" + nearSpeaker + "-loss" + std::to_string(int(loss));
            writeWav(stem + ".wav", near);
            writeWav(stem + "-far.wav", far);
        }
        return {toneContinuity(near.samples, near.rate, nearTone), toneContinuity(far.samples, far.rate, farTone)};
    }

    SoundRig sound;
    std::optional<NetworkRig> network;
    std::unique_ptr<BaresipControl> peer;
    std::unique_ptr<BaresipControl> pair;
    std::unique_ptr<EngineDriver> phone;
    std::string address = NetworkRig::kPhoneAddress;
};

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir data;
    setenv("PELEX_SIP_DATA_DIR", data.path().toLocal8Bit().constData(), 1);
    unsetenv("PELEX_SIP_AUDIO");
    QCoreApplication app(argc, argv);
    try {
        // The private system bus comes before anything in this process uses one.
        SystemBus bus;
        StandInLogind logind(bus.address());
        // Parts to run: any of reregister, call, loss, flood (default: all).
        auto wanted = [&](const char* part) {
            if (argc < 2) return true;
            for (int i = 1; i < argc; ++i)
                if (std::strcmp(argv[i], part) == 0) return true;
            return false;
        };
        Bench bench;
        if (wanted("reregister")) {
            bench.addressChanges();
            bench.linkComesBack();
            bench.resumes(logind);
        }
        if (wanted("call")) bench.callAcrossAddressChanges();
        if (wanted("loss")) bench.continuityUnderLoss();
        if (wanted("flood")) bench.flood();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pelex-network-bench: %s\n", e.what());
        return 1;
    }
}
