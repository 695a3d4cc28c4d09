// A failed registration waits out its minute, a rejected one waits for the
// user, and a network or resume event cuts the wait short.
#include "sip_engine/linphone/registration_retry.h"

#include <gtest/gtest.h>

#include <string>

#include "sip_engine/memory/memory_rtc.h"

namespace pelex::sip_engine::linphone_rtc {
namespace {

using namespace std::chrono_literals;

/// A retry policy on a clock and timers the test moves by hand; `switched`
/// records each switch of the account's registration ('+' on, '-' off).
struct Retried {
    RegistrationRetry::Clock::time_point now{std::chrono::hours(1)};
    memory::ManualTimers timers;
    std::string switched;
    RegistrationRetry retry{[this](bool on) { switched += on ? '+' : '-'; }, timers.factory()(),
                            [this] { return now; }};
    Retried() { retry.enabled(); }
};

TEST(RegistrationRetry, AFailureWaitsUntilAMinuteAfterItsAttemptBeganThenRegistersAgain) {
    Retried r;
    r.retry.attemptStarted();
    r.now += 32s;  // no answer: the stack gives up after 32 s
    r.retry.failed();
    EXPECT_EQ(r.switched, "-") << "paused";
    EXPECT_TRUE(r.retry.paused());
    EXPECT_TRUE(r.timers.anyActive());
    EXPECT_EQ(r.timers.lastDelay(), 28s) << "the rest of the minute";

    r.now += 28s;
    r.timers.fireAll();
    EXPECT_EQ(r.switched, "-+");
    EXPECT_FALSE(r.retry.paused());

    // An attempt that failed after a minute or more is not held back.
    r.retry.attemptStarted();
    r.now += 61s;
    r.retry.failed();
    EXPECT_EQ(r.switched, "-+");
    EXPECT_FALSE(r.retry.paused());
    EXPECT_FALSE(r.timers.anyActive());
}

TEST(RegistrationRetry, TryNowEndsAPauseAtOnceOrRefreshesButNeverAfterARejectionOrWhileOff) {
    Retried r;
    r.retry.attemptStarted();
    r.now += 1s;
    r.retry.failed();
    r.retry.tryNow();  // the network came back
    EXPECT_EQ(r.switched, "-+");
    EXPECT_FALSE(r.retry.paused());
    EXPECT_FALSE(r.timers.anyActive()) << "the paused minute no longer counts";

    r.retry.tryNow();  // resumed from sleep: a registration in place is refreshed
    EXPECT_EQ(r.switched, "-++");

    r.retry.rejected();
    EXPECT_EQ(r.switched, "-++-");
    r.retry.tryNow();
    r.retry.failed();
    EXPECT_EQ(r.switched, "-++-") << "a refused password is not tried again by itself";
    EXPECT_TRUE(r.retry.isRejected());

    r.retry.enabled();  // the user signs in again
    EXPECT_FALSE(r.retry.isRejected());
    r.retry.disabled();
    r.retry.tryNow();
    EXPECT_EQ(r.switched, "-++-") << "an account switched off stays off";
}

TEST(RegistrationRetry, SwitchingTheAccountOffCancelsAPendingRetry) {
    Retried r;
    r.retry.attemptStarted();
    r.retry.failed();
    ASSERT_TRUE(r.timers.anyActive());
    r.retry.disabled();
    EXPECT_FALSE(r.timers.anyActive());
    EXPECT_FALSE(r.retry.paused());
    r.timers.fireAll();
    EXPECT_EQ(r.switched, "-");
}

}  // namespace
}  // namespace pelex::sip_engine::linphone_rtc
