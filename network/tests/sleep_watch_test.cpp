// The sleep watch on a private system bus, with a stand-in logind that sends
// PrepareForSleep as logind does around a suspend. Each test runs in a
// process of its own (ctest does), as Qt keeps one system bus per process.
#include <QCoreApplication>
#include <QDBusConnectionInterface>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "network/sleep_watch.h"
#include "tests/rig/system_bus.h"

namespace pelex::network {
namespace {

using namespace std::chrono_literals;

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

TEST(SleepWatch, TellsGoingToSleepAndResumedFromLogindOnly) {
    testing::SystemBus bus;
    std::vector<SleepEvent> told;
    SleepWatch watch([&](SleepEvent e) { told.push_back(e); });
    ASSERT_TRUE(watch.listening());

    // Anyone on the bus can send the same signal; it does not count.
    testing::StandInLogind impostor(bus.address(), false, "impostor");
    impostor.prepareForSleep(true);
    // logind itself, started after the watch (it may restart). Qt learns
    // the new owner of logind's name on its own thread, a moment after the
    // name appeared (on a real machine logind has been there long before a
    // sleep), so logind says it again until the watch has heard it.
    testing::StandInLogind logind(bus.address());
    ASSERT_TRUE(QDBusConnection::systemBus().interface()->isServiceRegistered("org.freedesktop.login1"));
    for (int i = 0; i < 10 && told.empty(); ++i) {
        logind.prepareForSleep(true);
        waitFor([&] { return !told.empty(); }, 1s);
    }
    ASSERT_FALSE(told.empty());
    logind.prepareForSleep(false);
    ASSERT_TRUE(waitFor([&] { return !told.empty() && told.back() == SleepEvent::Resumed; }, 5s));
    impostor.prepareForSleep(false);
    waitFor([] { return false; }, 300ms);
    // Going to sleep (perhaps heard more than once, see above), then resumed
    // once: nothing of the impostor's.
    ASSERT_GE(told.size(), 2u);
    EXPECT_EQ(told.back(), SleepEvent::Resumed);
    EXPECT_EQ(std::count(told.begin(), told.end(), SleepEvent::Resumed), 1);
    EXPECT_EQ(told.front(), SleepEvent::GoingToSleep);
}

TEST(SleepWatch, WithoutASystemBusItListensToNothingAndNothingFails) {
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket");
    int told = 0;
    SleepWatch watch([&](SleepEvent) { ++told; });
    EXPECT_FALSE(watch.listening());
    waitFor([] { return false; }, 100ms);
    EXPECT_EQ(told, 0);
}

}  // namespace
}  // namespace pelex::network
