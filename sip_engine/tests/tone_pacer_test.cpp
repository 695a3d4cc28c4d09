// Touch tones reach the stack one at a time, spaced, in the order typed.
#include "sip_engine/linphone/tone_pacer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <string>

#include <gtest/gtest.h>

namespace pelex::sip_engine::linphone_rtc {
namespace {

using namespace std::chrono_literals;

/// A pacer on a clock the test moves; its timer still runs on the event loop.
struct Paced {
    TonePacer::Clock::time_point now{std::chrono::hours(1)};
    std::string sent;
    bool callLasts = true;
    TonePacer pacer{[this](char tone) {
                        if (!callLasts) return false;
                        sent += tone;
                        return true;
                    },
                    [this] { return now; }};

    /// Runs the event loop for `ms` of real time (the pacer's timer waits at most its spacing).
    static void pump(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    void pumpUntil(std::size_t count) {
        QElapsedTimer t;
        t.start();
        while (sent.size() < count && t.elapsed() < 2000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
};

TEST(TonePacer, TonesTypedTogetherGoOutOneBySpacingAfterTheOtherInOrder) {
    Paced p;
    p.pacer.add('5');
    p.pacer.add('#');
    p.pacer.add('1');
    EXPECT_EQ(p.sent, "5") << "the first tone goes at once";
    EXPECT_EQ(p.pacer.waiting(), 2u);

    Paced::pump(300);
    EXPECT_EQ(p.sent, "5") << "nothing before the spacing has passed";
    p.now += TonePacer::kSpacing;
    p.pumpUntil(2);
    EXPECT_EQ(p.sent, "5#");
    p.now += TonePacer::kSpacing - 1ms;
    Paced::pump(300);
    EXPECT_EQ(p.sent, "5#") << "a millisecond early";
    p.now += 1ms;
    p.pumpUntil(3);
    EXPECT_EQ(p.sent, "5#1");
    EXPECT_EQ(p.pacer.waiting(), 0u);

    // After a quiet spell a tone goes at once.
    p.now += 5s;
    p.pacer.add('9');
    EXPECT_EQ(p.sent, "5#19");
}

TEST(TonePacer, AWaitingFlashIsNotQueuedAgainButTheUsersTonesAlwaysAre) {
    Paced p;
    p.pacer.add(TonePacer::kFlash);
    p.pacer.add(TonePacer::kFlash);  // waits
    p.pacer.add(TonePacer::kFlash);  // one is waiting already
    p.pacer.add('7');
    p.pacer.add('7');
    EXPECT_EQ(p.pacer.waiting(), 3u);
    for (std::size_t n = 2; n <= 4; ++n) {
        p.now += TonePacer::kSpacing;
        p.pumpUntil(n);
    }
    EXPECT_EQ(p.sent, "!!77");

    // A queue no user can mean is bounded.
    for (int i = 0; i < 1000; ++i) p.pacer.add('1');
    EXPECT_EQ(p.pacer.waiting(), TonePacer::kMostWaiting);
}

TEST(TonePacer, AnEndedCallDropsWhatWaitsAndTheNextCallStartsAfresh) {
    Paced p;
    p.pacer.add('1');
    p.pacer.add('2');
    p.pacer.add('3');
    p.callLasts = false;
    p.now += TonePacer::kSpacing;
    Paced::pump(300);
    EXPECT_EQ(p.sent, "1");
    EXPECT_EQ(p.pacer.waiting(), 0u) << "the call ended: the rest is dropped";

    p.callLasts = true;
    p.now += TonePacer::kSpacing;
    p.pacer.add('4');
    p.pacer.add('5');
    p.pacer.clear();
    p.now += TonePacer::kSpacing;
    Paced::pump(300);
    EXPECT_EQ(p.sent, "14") << "cleared tones are not sent";
}

}  // namespace
}  // namespace pelex::sip_engine::linphone_rtc
