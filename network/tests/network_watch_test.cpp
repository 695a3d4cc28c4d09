// The network watch against the real kernel: each test makes a network
// namespace of its own (as root) with a link to a made-up router, and changes
// addresses, routes and carrier there with `ip`, as a DHCP client, a cable or
// a Wi-Fi switch would.
#include <sched.h>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "network/network_watch.h"

namespace pelex::network {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Told {
    NetworkChange change;
    NetworkState state;
};

class NetworkWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::unshare(CLONE_NEWNET) != 0) GTEST_SKIP() << "making a network namespace needs root";
        // wan: the phone's link; far: the router's end of it (down = cable out).
        sh("ip link set lo up && ip link add wan type veth peer name far && ip link set far up && "
           "ip link set wan up && ip addr add 192.0.2.10/24 dev wan && ip route add default via 192.0.2.1 && "
           "sysctl -q -w net.ipv4.conf.all.promote_secondaries=1 net.ipv4.conf.wan.promote_secondaries=1");
        ASSERT_TRUE(waitFor([] { return probeNetwork().online; }, 5s)) << "the link did not come up";
    }
    static void sh(const std::string& command) {
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    /// Runs the event loop until `done` or `limit`.
    static bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() > end) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }
    void watch() {
        watcher = std::make_unique<NetworkWatch>([this](NetworkChange c, const NetworkState& s) {
            told.push_back({c, s});
        });
        ASSERT_TRUE(watcher->watching());
    }
    /// Waits for the next thing told, then lets a second pass to catch any
    /// that should not have come.
    bool waitForTold(std::size_t count) {
        const bool arrived = waitFor([&] { return told.size() >= count; }, 5s);
        waitFor([] { return false; }, NetworkWatch::kLongestWait + 300ms);
        return arrived;
    }

    std::unique_ptr<NetworkWatch> watcher;
    std::vector<Told> told;
};

TEST_F(NetworkWatchTest, ProbeFollowsTheRouteItsSourceAddressAndTheCarrier) {
    const NetworkState up = probeNetwork();
    EXPECT_TRUE(up.online);
    EXPECT_EQ(up.address, "192.0.2.10");
    EXPECT_EQ(up.link, "wan");
    EXPECT_EQ(probeNetwork("198.51.100.7"), up) << "a destination through the default route";
    EXPECT_EQ(probeNetwork("127.0.0.1").link, "lo");
    EXPECT_FALSE(probeNetwork("no address").online);
    EXPECT_FALSE(probeNetwork("2001:db8::1").online) << "no IPv6 route here";

    sh("ip link set far down");  // the routes stay, marked linkdown
    ASSERT_TRUE(waitFor([] { return !probeNetwork().online; }, 5s));
    sh("ip link set far up && ip route del default");
    ASSERT_TRUE(waitFor([] { return probeNetwork().address.empty(); }, 5s));
    EXPECT_FALSE(probeNetwork().online);
}

TEST_F(NetworkWatchTest, ANewAddressIsToldOnceAsAChange) {
    watch();
    sh("ip addr add 192.0.2.20/24 dev wan && ip addr del 192.0.2.10/24 dev wan && "
       "ip route replace default via 192.0.2.1");
    ASSERT_TRUE(waitForTold(1));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].change, NetworkChange::Changed);
    EXPECT_EQ(told[0].state.address, "192.0.2.20");
    EXPECT_EQ(watcher->state(), told[0].state);
}

TEST_F(NetworkWatchTest, ACableOutAndInIsToldAsGoneAndBackWithTheSameAddress) {
    watch();
    sh("ip link set far down");
    ASSERT_TRUE(waitForTold(1));
    sh("ip link set far up");
    ASSERT_TRUE(waitForTold(2));
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].change, NetworkChange::WentAway);
    EXPECT_EQ(told[1].change, NetworkChange::CameBack);
    EXPECT_EQ(told[1].state.address, "192.0.2.10");
}

TEST_F(NetworkWatchTest, ALostDefaultRouteIsToldAndSoIsItsReturn) {
    watch();
    sh("ip route del default");
    ASSERT_TRUE(waitForTold(1));
    sh("ip route add default via 192.0.2.1");
    ASSERT_TRUE(waitForTold(2));
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].change, NetworkChange::WentAway);
    EXPECT_FALSE(told[0].state.online);
    EXPECT_EQ(told[1].change, NetworkChange::CameBack);
}

TEST_F(NetworkWatchTest, ASwitchToASecondLinkIsOneChangeToThatLink) {
    watch();
    sh("ip link add wifi type veth peer name ap && ip link set ap up && ip link set wifi up && "
       "ip addr add 203.0.113.5/24 dev wifi && ip route replace default via 203.0.113.1 && ip link del wan");
    ASSERT_TRUE(waitForTold(1));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].change, NetworkChange::Changed);
    EXPECT_EQ(told[0].state.link, "wifi");
    EXPECT_EQ(told[0].state.address, "203.0.113.5");
}

TEST_F(NetworkWatchTest, ChangesBesideTheRouteInUseAreNotTold) {
    watch();
    sh("ip link add lab type veth peer name bench && ip link set lab up && ip link set bench up && "
       "ip addr add 198.51.100.9/24 dev lab && ip addr add 192.0.2.99/24 dev wan");
    waitFor([] { return false; }, NetworkWatch::kLongestWait + 500ms);
    EXPECT_TRUE(told.empty()) << "the route to the internet did not change";
    EXPECT_EQ(watcher->state().address, "192.0.2.10");
}

TEST_F(NetworkWatchTest, AnAddressFlappingFastIsToldNoMoreOftenThanItSettlesAndEndsRight) {
    watch();
    // Twenty flaps within about a second: a burst that does not settle.
    std::string flaps;
    for (int i = 0; i < 10; ++i)
        flaps += "ip addr add 192.0.2.30/24 dev wan && ip addr del 192.0.2.10/24 dev wan && sleep 0.05 && "
                 "ip addr add 192.0.2.10/24 dev wan && ip addr del 192.0.2.30/24 dev wan && "
                 "ip route replace default via 192.0.2.1 && sleep 0.05 && ";
    // Made while the event loop runs, as a real flapping link would.
    const auto started = Clock::now();
    std::atomic<int> status = -1;
    std::thread flapping([&] { status = std::system((flaps + "true").c_str()); });
    waitFor([&] { return status != -1; }, 30s);
    flapping.join();
    ASSERT_EQ(status, 0);
    const auto took = Clock::now() - started;
    waitFor([] { return false; }, NetworkWatch::kLongestWait + 500ms);
    const auto bound = took / NetworkWatch::kLongestWait + 2;
    EXPECT_LE(static_cast<long>(told.size()), static_cast<long>(bound)) << "looked at once per settle, not per event";
    EXPECT_EQ(watcher->state(), probeNetwork()) << "the last look saw how it ended";
    EXPECT_EQ(watcher->state().address, "192.0.2.10");
}

}  // namespace
}  // namespace pelex::network
