// The sleep watch on a private system bus, with a stand-in logind that sends
// PrepareForSleep as logind does around a suspend. Each test runs in a
// process of its own (ctest does), as Qt keeps one system bus per process.
#include <QCoreApplication>
#include <QDBusConnectionInterface>

#include <gtest/gtest.h>

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
    // logind itself, started after the watch (it may restart). A call on
    // the watch's own connection makes sure the news of logind's arrival
    // reached it first, as it long has when a real machine goes to sleep.
    testing::StandInLogind logind(bus.address());
    ASSERT_TRUE(QDBusConnection::systemBus().interface()->isServiceRegistered("org.freedesktop.login1"));
    logind.prepareForSleep(true);
    ASSERT_TRUE(waitFor([&] { return !told.empty(); }, 5s));
    logind.prepareForSleep(false);
    ASSERT_TRUE(waitFor([&] { return told.size() >= 2; }, 5s));
    impostor.prepareForSleep(false);
    waitFor([] { return false; }, 300ms);
    EXPECT_EQ(told, (std::vector<SleepEvent>{SleepEvent::GoingToSleep, SleepEvent::Resumed}));
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
