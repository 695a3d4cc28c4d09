// The SIP socket is found by its port and watched by the event loop; the
// turn loop's pace between messages.
#include "sip_engine/linphone/sip_socket_watch.h"
#include "sip_engine/linphone/turn_loop.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>
#include <string_view>

#include <gtest/gtest.h>

namespace pelex::sip_engine::linphone_rtc {
namespace {

/// A UDP socket on a free loopback port.
struct Udp {
    Udp() {
        fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
        port = ntohs(a.sin_port);
    }
    ~Udp() { close(); }
    void close() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    void sendTo(int toPort, std::string_view datagram = "OPTIONS sip:1000@127.0.0.1 SIP/2.0\r\n") const {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(toPort));
        ::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    int fd = -1;
    int port = 0;
};

bool runUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 2000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

TEST(SipSocketWatch, FindsTheSocketOfAPortAndNothingForOthers) {
    Udp a, b;
    EXPECT_EQ(findUdpSocket(a.port), a.fd);
    EXPECT_EQ(findUdpSocket(b.port), b.fd);
    EXPECT_EQ(findUdpSocket(0), -1);
    const int gone = a.port;
    a.close();
    EXPECT_EQ(findUdpSocket(gone), -1);
}

TEST(SipSocketWatch, CallsBackWhenAMessageArrivesAndFollowsAReplacedSocket) {
    int woken = 0;
    SipSocketWatch watch([&] { ++woken; });
    Udp stack, sender;
    watch.follow(stack.port);
    ASSERT_TRUE(watch.watching());
    sender.sendTo(stack.port);
    ASSERT_TRUE(runUntil([&] { return woken > 0; }));
    char drop[16];
    ::recv(stack.fd, drop, sizeof drop, 0);

    // The stack replaced its socket (a new one on another port): followed.
    Udp replacement;
    stack.close();
    watch.follow(replacement.port);
    ASSERT_TRUE(watch.watching());
    const int before = woken;
    sender.sendTo(replacement.port);
    EXPECT_TRUE(runUntil([&] { return woken > before; }));

    watch.follow(0);
    EXPECT_FALSE(watch.watching());
}

TEST(SipSocketWatch, JunkIsDroppedUnseenAndWhatMayBeSipWakesTheStackAndStaysForIt) {
    int woken = 0;
    SipSocketWatch watch([&] { ++woken; });
    Udp stack, sender;
    watch.follow(stack.port);
    for (const char* junk : {"x", "", "\x16\x03\x01 tls", "hello there", "Invite sip:a SIP/2.0", "\r\nGET/ "})
        sender.sendTo(stack.port, junk);
    sender.sendTo(stack.port, "\r\n\r\n");  // a keep-alive
    ASSERT_TRUE(runUntil([&] { return woken > 0; }));
    char left[64] = {};
    EXPECT_EQ(::recv(stack.fd, left, sizeof left, MSG_DONTWAIT), 4) << "only the keep-alive is left for the stack";

    EXPECT_TRUE(mayBeSip("INVITE sip:1000@192.0.2.2 SIP/2.0"));
    EXPECT_TRUE(mayBeSip("\r\nSIP/2.0 200 OK"));
    EXPECT_TRUE(mayBeSip("SUBSCRI")) << "a method cut off by the peek";
    EXPECT_FALSE(mayBeSip("SIP/2.1 200"));
    EXPECT_FALSE(mayBeSip("\x80\x00\x12\x34"));  // RTP
}

TEST(TurnLoop, TurnsFastRightAfterSignallingThenSlowerUntilTheCalmInterval) {
    using namespace std::chrono_literals;
    EXPECT_EQ(turnInterval(0ms, 1000), 2) << "a request just made goes out at once";
    EXPECT_EQ(turnInterval(99ms, 1000), 2);
    EXPECT_EQ(turnInterval(100ms, 1000), 10);
    EXPECT_EQ(turnInterval(499ms, 1000), 10);
    EXPECT_EQ(turnInterval(500ms, 1000), 50);
    EXPECT_EQ(turnInterval(1999ms, 1000), 50);
    EXPECT_EQ(turnInterval(2s, 1000), 1000) << "idle: the stack's own timers only";
    EXPECT_EQ(turnInterval(1h, 100), 100) << "during a call";
    EXPECT_EQ(turnInterval(1s, 20), 20) << "never slower than the calm interval";
    EXPECT_EQ(turnInterval(0ms, 1), 1);
    // About 120 turns in the two seconds after a request, not a thousand.
    int turns = 0;
    for (auto t = 0ms; t < 2s; t += std::chrono::milliseconds(turnInterval(t, 1000))) ++turns;
    EXPECT_LT(turns, 150);
}

}  // namespace
}  // namespace pelex::sip_engine::linphone_rtc
