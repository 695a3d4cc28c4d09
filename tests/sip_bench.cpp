// pelex-sip-bench: starts the loopback SIP rig and measures the SIP engine on
// liblinphone. Prints one "name value unit" line per figure:
//   init_to_registered_ms     Init() until the registered outcome (median of 5)
//   connect_to_connected_ms   Connect() to an auto-answering peer until CONNECTED (median of 5)
//   peer_call_setup_ms        the same call placed by the peer user agent itself (median of 5)
//   idle_cpu_percent          one core's share used while registered and idle for 30 s
//   idle_rss_mb               resident memory at the end of that idle time
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

#include "tests/rig/baresip_control.h"
#include "tests/rig/engine_driver.h"
#include "tests/rig/rig_fixture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using pelex::testing::BaresipControl;
using pelex::testing::EngineDriver;
using pelex::testing::SipRig;

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

double residentMb() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

std::unique_ptr<EngineDriver> newPhone() {
    return std::make_unique<EngineDriver>(SipRig::serverAddress(), SipRig::kPhoneUser, SipRig::kPhonePassword);
}

bool peerEstablishedOutgoing(const BaresipControl& peer) {
    for (const auto& e : peer.events())
        if (e.value("type").toString() == "CALL_ESTABLISHED" && e.value("direction").toString() == "outgoing")
            return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir data;
    setenv("PELEX_SIP_DATA_DIR", data.path().toLocal8Bit().constData(), 1);
    setenv("PELEX_SIP_AUDIO", "files", 1);
    setenv("PULSE_SERVER", "unix:/nonexistent", 0);
    QCoreApplication app(argc, argv);
    try {
        SipRig rig;
        BaresipControl peer(SipRig::peerControlPort());

        std::vector<double> registration;
        for (int i = 0; i < 5; ++i) {
            auto phone = newPhone();
            const auto start = Clock::now();
            phone->engine->Init();
            if (!phone->waitForEvent("RegOK 2", 10s)) throw std::runtime_error("no registration");
            registration.push_back(ms(Clock::now() - start));
        }
        std::printf("init_to_registered_ms %.1f ms\n", median(registration));

        auto phone = newPhone();
        phone->engine->Init();
        if (!phone->waitForEvent("RegOK 2", 10s)) throw std::runtime_error("no registration");
        std::vector<double> ours, theirs;
        for (int i = 0; i < 5; ++i) {
            phone->events.raised.clear();
            phone->engine->URIher = QString::fromStdString("1001@" + SipRig::serverAddress()).toStdU16String();
            const auto start = Clock::now();
            phone->engine->Connect();
            if (!phone->waitForEvent("Status Line 1 CONNECTED", 10s, &peer)) throw std::runtime_error("no call");
            ours.push_back(ms(Clock::now() - start));
            phone->engine->Terminate();
            phone->waitForEvent("CallDisconnect", 5s, &peer);
            phone->pump(300ms, &peer);

            peer.clear();
            const auto peerStart = Clock::now();
            peer.send("dial", "sip:1002@" + SipRig::serverAddress());
            if (!phone->waitFor([&] { return peerEstablishedOutgoing(peer); }, 10s, &peer))
                throw std::runtime_error("the peer's own call did not connect");
            theirs.push_back(ms(Clock::now() - peerStart));
            peer.send("hangup");
            phone->pump(300ms, &peer);
        }
        std::printf("connect_to_connected_ms %.1f ms\n", median(ours));
        std::printf("peer_call_setup_ms %.1f ms\n", median(theirs));

        // Idle: the real event loop, blocked between the stack's timer ticks.
        const double cpuBefore = cpuSeconds();
        const auto idleStart = Clock::now();
        QEventLoop idle;
        QTimer::singleShot(30s, &idle, &QEventLoop::quit);
        idle.exec();
        const double wall = std::chrono::duration<double>(Clock::now() - idleStart).count();
        std::printf("idle_cpu_percent %.2f %%\n", 100.0 * (cpuSeconds() - cpuBefore) / wall);
        std::printf("idle_rss_mb %.1f MB\n", residentMb());
        if (phone->saw("RegFail Number is not registered.")) throw std::runtime_error("the phone lost its registration");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pelex-sip-bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
