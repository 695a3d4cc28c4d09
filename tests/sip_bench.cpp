// pelex-sip-bench: starts the loopback SIP rig and measures the SIP engine on
// liblinphone. Prints one "name value unit" line per figure:
//   call_cpu_percent          one core's share the phone uses while connected for 30 s
//                             (sound through a private PulseAudio, the flash tone
//                             every second as the control sends it)
//   peer_call_cpu_percent     the peer user agent's share on the same call (it plays
//                             through the same sound server, in real time)
//   call_cpu_to_peer_ratio    the first over the second
//   call_cpu_percent_without_echo_cancellation
//                             the phone's share on the same call with echo cancellation off
//   echo_cancellation_cpu_percent
//                             what echo cancellation costs: the difference of the two
//   init_to_registered_ms     Init() until the registered outcome (median of 5)
//   connect_to_connected_ms   Connect() to an auto-answering peer until CONNECTED (median of 11)
//   peer_call_setup_ms        the same call placed by the peer user agent itself (median of 11)
//   call_cpu_thread           the phone's share on that call for each thread that used any of it
//   idle_cpu_percent          one core's share used while registered and idle for 30 s
//   idle_cpu_thread           the same share for each thread that used any of it
//   idle_rss_mb               resident memory at the end of that idle time
//   call_longest_stall_ms     the longest the event loop stood still while a call is placed
//                             and one received (each answered, a second long, ended), sound
//                             through a private PulseAudio
//   call_longest_stall_stalled_sound_server_ms
//                             the same while that server is stopped (SIGSTOP)
//   signout_longest_stall_ms  the longest the event loop stood still from ShutDown to
//                             SignOut and while the stack stopped afterwards
//   replace_longest_stall_ms  the same when a registered engine is simply released
//                             (a new sign-in replaces it)
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "sip_engine/linphone/core_stopper.h"
#include "tests/rig/baresip_control.h"
#include "sip_engine/linphone/linphone_client.h"
#include "sound/sound_server.h"
#include "tests/rig/engine_driver.h"
#include "tests/rig/rig_fixture.h"
#include "tests/rig/sound_fixture.h"
#include "tests/rig/stall_watch.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using pelex::testing::BaresipControl;
using pelex::testing::EngineDriver;
using pelex::testing::linphoneWithChoices;
using pelex::testing::SipRig;
using pelex::testing::SipRigOptions;
using pelex::testing::SoundRig;
using pelex::testing::StallWatch;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

/// CPU seconds (user and system) process `pid` has used so far.
double cpuSecondsOf(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');  // the command name may hold spaces
    if (close == std::string::npos) throw std::runtime_error("no such process " + std::to_string(pid));
    std::istringstream fields(text.substr(close + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i) fields >> skip;  // state ... cmajflt
    long utime = 0, stime = 0;
    fields >> utime >> stime;
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int pidOf(const std::string& name) {
    int pid = 0;
    std::ifstream(SipRig::dir() + "/" + name + ".pid") >> pid;
    if (pid <= 0) throw std::runtime_error("no pid of " + name);
    return pid;
}

/// CPU nanoseconds each thread of this process has used so far, by thread
/// id, with the thread's name.
std::map<int, std::pair<std::string, long long>> threadCpuNs() {
    std::map<int, std::pair<std::string, long long>> threads;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        long long ns = 0;
        std::ifstream(task.path() / "schedstat") >> ns;
        threads[std::stoi(task.path().filename().string())] = {name, ns};
    }
    return threads;
}

/// Prints each thread's share of one core since `before` (those above 0.005 %).
void printThreadShares(const char* figure, const std::map<int, std::pair<std::string, long long>>& before,
                       double wallSeconds) {
    for (const auto& [tid, thread] : threadCpuNs()) {
        const auto was = before.find(tid);
        const long long used = thread.second - (was != before.end() ? was->second.second : 0);
        const double share = 100.0 * static_cast<double>(used) / 1e9 / wallSeconds;
        if (share >= 0.005) std::printf("%s %s[%d] %.3f %%\n", figure, thread.first.c_str(), tid, share);
    }
}

double residentMb() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

std::unique_ptr<EngineDriver> registeredPhone(BaresipControl* peer = nullptr,
                                              std::shared_ptr<pelex::sip_engine::AudioChoiceStore> choices = nullptr) {
    auto phone = choices ? std::make_unique<EngineDriver>(SipRig::serverAddress(), SipRig::kPhoneUser,
                                                          SipRig::kPhonePassword, linphoneWithChoices(choices))
                         : std::make_unique<EngineDriver>(SipRig::serverAddress(), SipRig::kPhoneUser, SipRig::kPhonePassword);
    phone->engine->Init();
    if (!phone->waitForEvent("RegOK 2", 10s, peer)) throw std::runtime_error("no registration");
    return phone;
}

void runLoop(std::chrono::milliseconds time) {
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until the released stacks, which unregister and stop
// in the background, are off (they give up after 7 s).
void runLoopUntilStacksStopped() {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&loop] {
        if (pelex::sip_engine::linphone_rtc::coresStopping() == 0) loop.quit();
    });
    poll.start(10);
    QTimer::singleShot(10s, &loop, &QEventLoop::quit);
    loop.exec();
}

int peerEvents(const BaresipControl& peer, const char* type) {
    return int(std::count_if(peer.events().begin(), peer.events().end(),
                             [type](const auto& e) { return e.value("type").toString() == QLatin1String(type); }));
}

bool peerEstablishedOutgoing(const BaresipControl& peer) {
    for (const auto& e : peer.events())
        if (e.value("type").toString() == "CALL_ESTABLISHED" && e.value("direction").toString() == "outgoing")
            return true;
    return false;
}

struct CallCost {
    double phone = 0, peer = 0;  // percent of a core
};

/// The cost of a connected call on both ends, with sound through a private
/// PulseAudio: each end plays what it hears to its own speaker and sends
/// what its own microphone records, in real time (the peer through ALSA's
/// pulse plugin), so both do the same work. The peer cancels no echo.
CallCost callCost(BaresipControl& peer, bool echoCancel, bool perThread) {
    auto choices = std::make_shared<pelex::testing::MemoryAudioChoices>();
    choices->choice.echoCancel = echoCancel;
    CallCost cost;
    {
        peer.clear();
        auto phone = registeredPhone(&peer, choices);
        phone->engine->URIher = QString::fromStdString("1001@" + SipRig::serverAddress()).toStdU16String();
        phone->engine->Connect();
        if (!phone->waitForEvent("Status Line 1 CONNECTED", 10s, &peer)) throw std::runtime_error("no call");
        phone->pump(2s, &peer);  // streams settle

        // The control sends the flash tone on every tick of its call timer.
        QTimer flash;
        QObject::connect(&flash, &QTimer::timeout, [&] { phone->engine->Key(12); });
        flash.start(1000);
        const int peerPid = pidOf("baresip");
        const double ours = cpuSeconds(), theirs = cpuSecondsOf(peerPid);
        const auto threadsBefore = threadCpuNs();
        const auto start = Clock::now();
        runLoop(30s);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        if (perThread) printThreadShares("call_cpu_thread", threadsBefore, wall);
        const double phoneShare = 100.0 * (cpuSeconds() - ours) / wall;
        const double peerShare = 100.0 * (cpuSecondsOf(peerPid) - theirs) / wall;
        flash.stop();
        if (!phone->saw("Status Line 1 CONNECTED") || phone->saw("CallDisconnect"))
            throw std::runtime_error("the call did not last");
        cost = {phoneShare, peerShare};
        phone->engine->Terminate();
        phone->waitForEvent("CallDisconnect", 5s, &peer);
    }
    runLoopUntilStacksStopped();
    return cost;
}

void measureCallCost() {
    SoundRig sound;
    unsetenv("PELEX_SIP_AUDIO");
    SipRig rig(SipRigOptions::peerOnSoundServer());
    BaresipControl peer(SipRig::peerControlPort());
    const auto with = callCost(peer, true, true);
    const auto without = callCost(peer, false, false);
    std::printf("call_cpu_percent %.2f %%\n", with.phone);
    std::printf("peer_call_cpu_percent %.2f %%\n", with.peer);
    std::printf("call_cpu_to_peer_ratio %.2f x\n", with.peer > 0 ? with.phone / with.peer : -1.0);
    std::printf("call_cpu_percent_without_echo_cancellation %.2f %%\n", without.phone);
    std::printf("echo_cancellation_cpu_percent %.2f %%\n", with.phone - without.phone);
    setenv("PELEX_SIP_AUDIO", "files", 1);
}

/// Places a call to the auto-answering peer and takes one from it, each a
/// second long; throws when a call does not go as it should.
void placeAndReceiveACall(EngineDriver& phone, BaresipControl& peer) {
    auto expect = [&](const char* what, const std::function<bool()>& done) {
        if (!phone.waitFor(done, 10s, &peer)) throw std::runtime_error(what);
    };
    auto raised = [&](const std::string& prefix) {
        return [&phone, prefix] {
            return std::any_of(phone.events.raised.begin(), phone.events.raised.end(),
                               [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
        };
    };
    phone.events.raised.clear();
    phone.engine->URIher = QString::fromStdString("1001@" + SipRig::serverAddress()).toStdU16String();
    phone.engine->Connect();
    expect("the placed call did not connect", raised("Status Line 1 CONNECTED"));
    phone.pump(1s, &peer);
    phone.engine->Terminate();
    expect("the placed call did not end", raised("CallDisconnect"));

    phone.events.raised.clear();
    peer.send("uafind", "sip:1001@" + SipRig::serverAddress());
    peer.send("dial", "sip:" + std::string(SipRig::kPhoneUser) + "@" + SipRig::serverAddress());
    expect("no incoming call", raised("Status Line 1 INCOMING"));
    phone.engine->Answer();
    expect("the received call did not connect", raised("Status Line 1 CONNECTED"));
    phone.pump(1s, &peer);
    phone.engine->Terminate();
    expect("the received call did not end", raised("CallDisconnect"));
}

/// The longest stall of the event loop while a call is placed and one
/// received, with the sound server healthy and with it stopped. The peer
/// plays nothing through the server (it would stop with it).
void measureCallStalls() {
    SoundRig sound;
    unsetenv("PELEX_SIP_AUDIO");
    SipRig rig;
    BaresipControl peer(SipRig::peerControlPort());
    {
        auto server = std::make_shared<pelex::sound::SoundServer>();
        pelex::sip_engine::ClsRTCPlatform platform{
            pelex::sip_engine::linphone_rtc::linphoneClientFactory(server, nullptr, {}),
            pelex::sip_engine::linphone_rtc::qtOneShotTimerFactory()};
        EngineDriver phone(SipRig::serverAddress(), SipRig::kPhoneUser, SipRig::kPhonePassword, platform);
        phone.engine->Init();
        if (!phone.waitForEvent("RegOK 2", 10s, &peer)) throw std::runtime_error("no registration");
        {
            StallWatch watch;
            placeAndReceiveACall(phone, peer);
            std::printf("call_longest_stall_ms %.1f ms\n", watch.longestMs());
        }
        sound.freeze();
        if (!phone.waitFor([&] { return !server->state().answering; }, 10s))
            throw std::runtime_error("the stopped server went unnoticed");
        {
            StallWatch watch;
            placeAndReceiveACall(phone, peer);
            std::printf("call_longest_stall_stalled_sound_server_ms %.1f ms\n", watch.longestMs());
        }
        sound.thaw();
        phone.engine->ShutDown();
        phone.waitForEvent("SignOut", 10s, &peer);
    }
    runLoop(1s);  // the released stack stops in the background
    setenv("PELEX_SIP_AUDIO", "files", 1);
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir data;
    setenv("PELEX_SIP_DATA_DIR", data.path().toLocal8Bit().constData(), 1);
    setenv("PULSE_SERVER", "unix:/nonexistent", 0);
    QCoreApplication app(argc, argv);
    try {
        // First, while no stack of this process has met a sound server.
        measureCallCost();
        // `--call-cost`: the cost of a call alone.
        if (argc > 1 && std::string(argv[1]) == "--call-cost") return 0;
        measureCallStalls();
        setenv("PULSE_SERVER", "unix:/nonexistent", 1);

        SipRig rig;
        BaresipControl peer(SipRig::peerControlPort());

        std::vector<double> registration;
        for (int i = 0; i < 5; ++i) {
            auto phone = std::make_unique<EngineDriver>(SipRig::serverAddress(), SipRig::kPhoneUser,
                                                        SipRig::kPhonePassword);
            const auto start = Clock::now();
            phone->engine->Init();
            if (!phone->waitForEvent("RegOK 2", 10s)) throw std::runtime_error("no registration");
            registration.push_back(ms(Clock::now() - start));
        }
        std::printf("init_to_registered_ms %.1f ms\n", median(registration));

        auto phone = registeredPhone();
        std::vector<double> ours, theirs;
        for (int i = 0; i < 11; ++i) {
            phone->events.raised.clear();
            peer.clear();
            phone->engine->URIher = QString::fromStdString("1001@" + SipRig::serverAddress()).toStdU16String();
            const auto start = Clock::now();
            phone->engine->Connect();
            if (!phone->waitForEvent("Status Line 1 CONNECTED", 10s, &peer)) throw std::runtime_error("no call");
            ours.push_back(ms(Clock::now() - start));
            phone->engine->Terminate();
            phone->waitForEvent("CallDisconnect", 5s, &peer);
            phone->waitFor([&] { return peer.has("CALL_CLOSED"); }, 5s, &peer);  // the peer has let it go

            peer.clear();
            const auto peerStart = Clock::now();
            peer.send("dial", "sip:1002@" + SipRig::serverAddress());
            if (!phone->waitFor([&] { return peerEstablishedOutgoing(peer); }, 10s, &peer))
                throw std::runtime_error("the peer's own call did not connect");
            theirs.push_back(ms(Clock::now() - peerStart));
            peer.send("hangup");
            phone->waitFor([&] { return peerEvents(peer, "CALL_CLOSED") >= 2; }, 5s, &peer);  // both ends
        }
        std::printf("connect_to_connected_ms %.1f ms\n", median(ours));
        std::printf("peer_call_setup_ms %.1f ms\n", median(theirs));

        // Idle: the real event loop, blocked between the stack's turns.
        const double cpuBefore = cpuSeconds();
        const auto threadsBefore = threadCpuNs();
        const auto idleStart = Clock::now();
        runLoop(30s);
        const double wall = std::chrono::duration<double>(Clock::now() - idleStart).count();
        std::printf("idle_cpu_percent %.2f %%\n", 100.0 * (cpuSeconds() - cpuBefore) / wall);
        printThreadShares("idle_cpu_thread", threadsBefore, wall);
        std::printf("idle_rss_mb %.1f MB\n", residentMb());
        if (phone->saw("RegFail Number is not registered.")) throw std::runtime_error("the phone lost its registration");

        // Signing out, and the stack stopping after it.
        {
            StallWatch watch;
            phone->engine->Terminate();
            phone->engine->ShutDown();
            if (!phone->waitForEvent("SignOut", 10s)) throw std::runtime_error("no sign-out");
            phone.reset();
            runLoopUntilStacksStopped();
            std::printf("signout_longest_stall_ms %.1f ms\n", watch.longestMs());
        }
        // A registered engine released at once (a new sign-in replaces it).
        {
            auto replaced = registeredPhone();
            StallWatch watch;
            replaced.reset();
            runLoopUntilStacksStopped();
            std::printf("replace_longest_stall_ms %.1f ms\n", watch.longestMs());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pelex-sip-bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
