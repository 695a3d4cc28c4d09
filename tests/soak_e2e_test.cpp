// A soak run of the phone: many calls in a row through the real stack
// (liblinphone, Kamailio, the baresip peer) with the phone's sound on the
// devices of a private PulseAudio, placed and received, answered, refused,
// given up and hung up by either end, each ringing first; then many sign-ins
// and sign-outs through the reference account server. It prints what the
// phone holds at the start, after the first round of calls, every few calls
// and at the end, one line each:
//
//   soak calls 200 rss_mb 87.7 anon_mb 14.5 shm_mb 3.1 heap_mb 5.1 fds 26 threads 3 sink_inputs 0 source_outputs 0
//
// (resident memory; of it, that of no file and that shared with the sound
// server; the heap in use; open descriptors; threads; the phone's playback
// and recording streams on the sound server). It fails on a call that does
// not end, and on growth after the first round (of calls, or of sign-in and
// sign-out): any descriptor, thread or stream more, or more than 1 MB of
// heap in use once the stack's SIP transactions have lapsed. The test
// command runs a short soak; a long one:
//
//   PELEX_SOAK_CALLS=500 PELEX_SOAK_SIGN_INS=50 build/default/bin/soak_e2e_test
//
// (PELEX_SOAK_EVERY: figures every so many calls, 50 by default.)
#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "account_protocol/tests/server_process.h"
#include "control/alert_output.h"
#include "tests/rig/phone_fixture.h"
#include "tests/rig/sound_fixture.h"
#include "tests/rig/sound_io.h"

#ifdef __SANITIZE_ADDRESS__
// The sanitizer's count of the bytes in use (malloc's own count does not see its heap).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace pelex::testing {
namespace {

using namespace std::chrono_literals;

int setting(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

/// What the phone's process holds at one moment.
struct Footprint {
    double residentMb = 0;
    double anonymousMb = 0;  ///< the part of it that no file backs (heap, stacks)
    double sharedMb = 0;     ///< the part of it in shared memory (the sound server's pools)
    double heapMb = 0;       ///< allocated and not freed (the allocator's own count)
    int descriptors = 0;
    int threads = 0;
    ClientStreams streams;

    /// The counts that must come back to the same value whenever the phone is idle.
    bool sameCounts(const Footprint& o) const {
        return descriptors == o.descriptors && threads == o.threads && streams == o.streams;
    }
};

int entriesOf(const char* folder) {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

Footprint footprintNow() {
    Footprint f;
    {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmRSS:", 0) == 0) f.residentMb = std::stod(line.substr(6)) / 1024.0;
            if (line.rfind("RssAnon:", 0) == 0) f.anonymousMb = std::stod(line.substr(8)) / 1024.0;
            if (line.rfind("RssShmem:", 0) == 0) f.sharedMb = std::stod(line.substr(9)) / 1024.0;
        }
    }
#ifdef __SANITIZE_ADDRESS__
    f.heapMb = double(__sanitizer_get_current_allocated_bytes()) / (1024.0 * 1024.0);
#else
    f.heapMb = double(mallinfo2().uordblks) / (1024.0 * 1024.0);
#endif
    f.descriptors = entriesOf("/proc/self/fd") - 1;  // less the one listing the folder
    f.threads = entriesOf("/proc/self/task");
    f.streams = streamsOf(::getpid());
    return f;
}

void print(const char* phase, int count, const Footprint& f) {
    std::printf("soak %s %d rss_mb %.1f anon_mb %.1f shm_mb %.1f heap_mb %.1f fds %d threads %d sink_inputs %d "
                "source_outputs %d\n",
                phase, count, f.residentMb, f.anonymousMb, f.sharedMb, f.heapMb, f.descriptors, f.threads,
                f.streams.playback, f.streams.recording);
    std::fflush(stdout);
}

/// The calls of one round, in the order they are made.
enum class Call {
    PlacedAndHungUp,             // the peer answers at once, the user hangs up
    PlacedAndEndedByThePeer,     // the peer rings, answers, and hangs up
    PlacedAndRefusedByThePeer,   // the peer rings and refuses (486)
    PlacedAndCancelled,          // the peer rings, the user hangs up first
    ReceivedAndHungUp,           // the user answers and hangs up
    ReceivedAndEndedByThePeer,   // the user answers, the caller hangs up
    ReceivedAndRefused,          // the user refuses (603)
    ReceivedAndGivenUp,          // the caller gives up before an answer
};
constexpr int kCallsInARound = 8;

class Soak : public PhoneOnRig {
protected:
    void SetUp() override {
        sound.emplace();
        soundServer = std::make_shared<sound::SoundServer>();  // the engine's too, as in the phone
        audioOutput = std::make_shared<control::ServerAlertOutput>(soundServer, nullptr);
        // 1001 rings until told what to do; 1002 answers by itself. The peer
        // plays what it hears on the sound server, as the phone does.
        startRig({.peerAnswer = "manual", .peerPlayer = "pulse"});
        // The account server hands out the rig's registrar in its login code.
        accounts.emplace(R"({"1000": {"password": "soak", "sip_password": ")" + std::string(SipRig::kPhonePassword) +
                             R"(", "expired": false}})",
                         QStringList{QStringLiteral("--sip-server"), QString::fromStdString(SipRig::serverAddress()),
                                     QStringLiteral("--sip-port"), QString::number(SipRig::sipPort())});
        ASSERT_NE(accounts->port(), 0) << accounts->output().toStdString();
        accountServerPort = QString::number(accounts->port()).toStdU16String();
        useRealEngine();
        start();
        box("txtusrname")->setText(QStringLiteral("1000"));
        box("txtPassword")->setText(QStringLiteral("soak"));
    }
    void TearDown() override {
        PhoneOnRig::TearDown();
        accounts.reset();
        sound.reset();
    }

    /// Signs in with the boxes as they are, through the account server, and
    /// waits for the idle line.
    void signInThroughTheAccountServer() {
        log.lines.clear();
        button("imgLogin")->click();
        ASSERT_TRUE(waitFor([&] { return display() == kIdleLine; }, 20s))
            << "no idle line after signing in: " << display().toStdString();
    }
    void signOut() {
        button("imgOption")->click();
        ASSERT_TRUE(waitFor([&] { return log.has("SignOut") && shown("picLoginForm"); }, 15s)) << "no sign-out";
    }

    /// Waits until the phone's own streams on the sound server are at least
    /// `playback` and `recording`; polls the server every 100 ms.
    bool streamsReach(int playback, int recording) {
        const auto end = Clock::now() + 10s;
        for (;;) {
            const auto s = streamsOf(::getpid());
            if (s.playback >= playback && s.recording >= recording) return true;
            if (Clock::now() > end) return false;
            pump(100ms);
        }
    }
    /// The ring or ring-back sounds through the sound server (it starts on
    /// the alert timer's first tick, two seconds in).
    bool alerting() { return streamsReach(1, 0); }
    /// Waits until the call with `aor` is connected on both sides with its
    /// sound on the server's devices, and talks until the call timer has
    /// counted a second (its tick sends the flash tone).
    bool connected(const std::string& aor) {
        return waitFor([&] { return display() == "Line 1 CONNECTED" && peer->has("CALL_ESTABLISHED", aor); }, 10s) &&
               streamsReach(1, 1) && waitFor([&] { return text("lbltimer") >= "00:00:01"; }, 5s);
    }

    /// Makes one call of `kind` and waits until it has ended on both sides.
    void makeCall(Call kind) {
        log.lines.clear();  // the test's own records must not grow either
        peer->clear();
        const bool placed = kind <= Call::PlacedAndCancelled;
        const bool autoAnswered = kind == Call::PlacedAndHungUp || kind == Call::ReceivedAndEndedByThePeer;
        const std::string aor = autoAnswered ? "1002" : "1001";
        if (placed) {
            dial(aor);
            if (kind != Call::PlacedAndHungUp) {
                ASSERT_TRUE(waitForPeer("CALL_INCOMING", aor, 10s)) << "the call did not reach the peer";
                ASSERT_TRUE(alerting()) << "no ring-back";
            }
        } else {
            peerCallsThePhone(aor);
            ASSERT_TRUE(waitFor([&] { return display() == QString::fromStdString("Line 1 INCOMING " + aor); }, 10s))
                << "no incoming call: " << display().toStdString();
            ASSERT_TRUE(alerting()) << "no ring";
        }
        switch (kind) {
            case Call::PlacedAndHungUp:
                ASSERT_TRUE(connected(aor)) << display().toStdString();
                button("imgDiscon")->click();
                break;
            case Call::PlacedAndEndedByThePeer:
                peer->send("accept");
                ASSERT_TRUE(connected(aor)) << display().toStdString();
                peer->send("hangup");
                break;
            case Call::PlacedAndRefusedByThePeer:
            case Call::ReceivedAndGivenUp:
                peer->send("hangup");
                break;
            case Call::PlacedAndCancelled:
            case Call::ReceivedAndRefused:
                button("imgDiscon")->click();
                break;
            case Call::ReceivedAndHungUp:
                button("imgCall")->click();
                ASSERT_TRUE(connected(aor)) << display().toStdString();
                button("imgDiscon")->click();
                break;
            case Call::ReceivedAndEndedByThePeer:
                button("imgCall")->click();
                ASSERT_TRUE(connected(aor)) << display().toStdString();
                peer->send("hangup");
                break;
        }
        ASSERT_TRUE(waitFor(
            [&] { return log.has("CallDisconnect") && display() == kIdleLine && peer->has("CALL_CLOSED", aor); }, 10s))
            << "the call did not end: " << display().toStdString();
    }

    /// The footprint once the phone has settled: released stacks stopped and
    /// the counts the same on two looks in a row.
    Footprint settled() {
        waitUntilStacksStopped();
        Footprint last = footprintNow();
        for (int look = 0; look < 25; ++look) {
            pump(200ms);
            Footprint now = footprintNow();
            if (now.sameCounts(last)) return now;
            last = now;
        }
        return last;
    }
    /// The settled footprint once the heap in use is back within 1 MB of
    /// `first`'s, or after 45 s: the stack keeps each ended call's SIP
    /// transactions for 32 s (so that late copies of its messages are still
    /// recognised), and calls in quick succession hold many at once.
    Footprint afterTransactionsLapsed(const Footprint& first) {
        Footprint now = settled();
        for (const auto end = Clock::now() + 45s; now.heapMb > first.heapMb + 1.0 && Clock::now() < end;) {
            pump(1s);
            now = footprintNow();
        }
        return now;
    }

    /// Nothing grew from `first` to `last`: the heap in use by more than 1 MB,
    /// descriptors, threads and the phone's streams on the sound server at all.
    static void expectNoGrowth(const Footprint& first, const Footprint& last, const char* what) {
        EXPECT_LE(last.heapMb - first.heapMb, 1.0) << what << ": the heap in use grew";
        EXPECT_LE(last.descriptors, first.descriptors) << what << ": open descriptors";
        EXPECT_LE(last.threads, first.threads) << what << ": threads";
        EXPECT_LE(last.streams.playback, first.streams.playback) << what << ": playback streams";
        EXPECT_LE(last.streams.recording, first.streams.recording) << what << ": recording streams";
    }

    std::optional<SoundRig> sound;
    std::optional<account_protocol::testing::ServerProcess> accounts;
};

TEST_F(Soak, ManyCallsThenManySignInsLeaveNothingBehind) {
    const int calls = std::max(2 * kCallsInARound, setting("PELEX_SOAK_CALLS", 2 * kCallsInARound));
    const int signIns = std::max(2, setting("PELEX_SOAK_SIGN_INS", 3));
    const int every = std::max(1, setting("PELEX_SOAK_EVERY", 50));

    ASSERT_NO_FATAL_FAILURE(signInThroughTheAccountServer());
    print("calls", 0, settled());
    Footprint afterFirstRound;
    const auto started = Clock::now();
    for (int i = 0; i < calls; ++i) {
        ASSERT_NO_FATAL_FAILURE(makeCall(Call(i % kCallsInARound)))
            << "call " << i + 1 << " of kind " << i % kCallsInARound;
        const int made = i + 1;
        if (made == kCallsInARound) print("calls", made, afterFirstRound = settled());
        else if (made % every == 0 || made == calls) print("calls", made, settled());
    }
    const double minutes = std::chrono::duration<double, std::ratio<60>>(Clock::now() - started).count();
    std::printf("soak calls_per_minute %.1f\n", calls / minutes);
    const Footprint afterCalls = afterTransactionsLapsed(afterFirstRound);
    print("calls_lapsed", calls, afterCalls);
    expectNoGrowth(afterFirstRound, afterCalls, "calls");

    ASSERT_NO_FATAL_FAILURE(signOut());
    Footprint afterFirstCycle;
    const int everySignIn = std::max(1, every / 5);
    for (int i = 0; i < signIns; ++i) {
        ASSERT_NO_FATAL_FAILURE(signInThroughTheAccountServer()) << "sign-in " << i + 1;
        ASSERT_NO_FATAL_FAILURE(signOut()) << "sign-out " << i + 1;
        const int cycles = i + 1;
        if (cycles == 1) print("sign_ins", cycles, afterFirstCycle = settled());
        else if (cycles % everySignIn == 0 || cycles == signIns) print("sign_ins", cycles, settled());
    }
    expectNoGrowth(afterFirstCycle, settled(), "sign-ins");
    EXPECT_TRUE(boxes->shown.empty()) << "a message box came up";
}

}  // namespace
}  // namespace pelex::testing
