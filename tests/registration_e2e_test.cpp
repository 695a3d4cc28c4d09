// A registration that lasts: the phone control on liblinphone against a
// Kamailio that restarts, starts late, grants short lifetimes, or a server
// that never answers while the user signs out.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>

#include "tests/rig/phone_fixture.h"
#include "tests/rig/scoped_env.h"

namespace pelex::testing {
namespace {

using namespace std::chrono_literals;

class Registration : public PhoneOnRig {
protected:
    /// How many REGISTER requests of the phone's user the registrar has seen.
    static int registersSeen() {
        const std::string log = SipRig::registrarLog();
        int n = 0;
        for (auto at = log.find("rig: REGISTER from 1000"); at != std::string::npos;
             at = log.find("rig: REGISTER from 1000", at + 1))
            ++n;
        return n;
    }
    int boxesSaying(const char16_t* text) const {
        return static_cast<int>(std::count_if(boxes->shown.begin(), boxes->shown.end(),
                                              [&](const auto& b) { return b.text == text; }));
    }
};

TEST_F(Registration, ShortLifetimeIsRefreshedAndStaysRegisteredForSeveralLifetimes) {
    startRig({.registrationLifetime = 10});
    signInAndWaitUntilReady();
    const auto start = Clock::now();
    int lostAt = -1;
    for (int second = 0; Clock::now() - start < 35s; ++second) {
        pump(1s);
        if (!SipRig::isRegistered(SipRig::kPhoneUser) && lostAt < 0) lostAt = second;
    }
    EXPECT_EQ(lostAt, -1) << "the registrar dropped the phone after " << lostAt << " s";
    EXPECT_GE(registersSeen(), 4) << "one registration and a refresh in each lifetime";
    EXPECT_EQ(display(), kIdleLine);
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(Registration, RegistrarRestartIsFollowedByANewRegistrationWithoutSigningIn) {
    startRig({.registrationLifetime = 10});
    signInAndWaitUntilReady();
    SipRig::stopRegistrar();
    SipRig::startRegistrar();
    ASSERT_FALSE(SipRig::isRegistered(SipRig::kPhoneUser)) << "a restarted registrar forgets everyone";
    EXPECT_TRUE(waitFor([] { return SipRig::isRegistered(SipRig::kPhoneUser); }, 20s));
    ASSERT_TRUE(waitFor([&] { return display() == kIdleLine; }, 5s)) << display().toStdString();
    // Should a refresh have fallen into the gap, the user was told once, and
    // told again that the line is ready.
    EXPECT_LE(boxesSaying(u"Number is not registered."), 1);
}

TEST_F(Registration, RegistrarStartedAfterTheSignInIsRegisteredWithByTheStacksRetry) {
    startRig();
    SipRig::stopRegistrar();
    const auto signedIn = Clock::now();
    signIn(3s);
    ASSERT_TRUE(waitForEvent("RegFail Number is not registered.", 10s));
    EXPECT_EQ(display(), "Number is not registered.");
    EXPECT_EQ(boxesSaying(u"Number is not registered."), 1);
    // Past the end of the first attempt (a SIP transaction gives up after 32 s).
    pump(std::chrono::duration_cast<std::chrono::milliseconds>(40s - (Clock::now() - signedIn)));
    EXPECT_EQ(display(), "Number is not registered.");
    const auto started = Clock::now();
    SipRig::startRegistrar();
    ASSERT_TRUE(waitFor([&] { return display() == kIdleLine; }, 75s)) << display().toStdString();
    std::cout << "registered " << std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started).count()
              << " s after the registrar started, "
              << std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - signedIn).count()
              << " s after signing in\n";
    EXPECT_GE(Clock::now() - signedIn, 58s) << "the attempt after the failed one waits a minute";
    EXPECT_TRUE(SipRig::isRegistered(SipRig::kPhoneUser));
    EXPECT_TRUE(log.has("RegOK 2"));
    EXPECT_EQ(text("lblNumber"), QString::fromLatin1(SipRig::kPhoneUser));
    EXPECT_EQ(boxesSaying(u"Number is not registered."), 1) << "the retries are not shown";
    EXPECT_LE(registersSeen(), 2) << "the stack retries no faster than once a minute";
}

/// A UDP port that takes every datagram and answers none: a server that is
/// there but does not answer.
class SilentServer {
public:
    SilentServer() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
            throw std::runtime_error("no UDP port for the silent server");
        port_ = ntohs(a.sin_port);
    }
    ~SilentServer() { ::close(fd_); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

TEST_F(Registration, SigningOutWhileRegisteringShowsNothingAfterwards) {
    SilentServer silent;
    auto real = control::clsRtcEngineFactory(sip_engine::linphone_rtc::linphonePlatform(), 3s);
    engineFactory = [this, real](control::CallEngineEvents& events) {
        log.to = &events;
        return real(log);
    };
    start();
    ControlTest::signIn(SipRig::kPhoneUser, "account-password");
    deliverLoginCode(SipRig::kPhonePassword, "," + silent.address() + ",5060");
    ASSERT_TRUE(waitFor([&] { return display() == "Line 1 is registering."; }, 5s)) << display().toStdString();
    button("imgOption")->click();
    ASSERT_TRUE(waitForEvent("SignOut", 10s));
    EXPECT_TRUE(shown("picLoginForm"));
    const auto after = log.lines.size();
    pump(6s);  // twice the registration wait
    EXPECT_EQ(log.lines.size(), after) << log.lines.back();
    EXPECT_TRUE(boxes->shown.empty()) << QString::fromStdU16String(boxes->shown.front().text).toStdString();
    EXPECT_TRUE(shown("picLoginForm"));
}

TEST_F(Registration, SigningInAgainAtOnceWithAFixedLocalPortRegistersFromThatPort) {
    startRig();
    const int port = SilentServer().port();  // free again once the probe is gone
    const ScopedEnv fixedPort("PELEX_SIP_LOCAL_PORT", std::to_string(port));
    const std::string contact = "@127.0.0.1:" + std::to_string(port);
    signInAndWaitUntilReady();
    ASSERT_NE(SipRig::registrations().find(contact), std::string::npos) << SipRig::registrations();
    // The registrar does not answer the sign-out's unregistration, so the
    // stack signed out is still stopping when the user signs in again at once.
    SipRig::stopRegistrar();
    button("imgOption")->click();
    ASSERT_TRUE(waitForEvent("SignOut", 10s));
    SipRig::startRegistrar();
    log.lines.clear();
    ControlTest::signIn(SipRig::kPhoneUser, "account-password");
    deliverLoginCode(SipRig::kPhonePassword, "," + SipRig::serverAddress() + "," + std::to_string(SipRig::sipPort()));
    ASSERT_TRUE(waitFor([&] { return display() == kIdleLine; }, 15s)) << display().toStdString();
    const auto registrarSaw = SipRig::registrarLog().size();
    EXPECT_NE(SipRig::registrations().find(contact), std::string::npos) << SipRig::registrations();
    // The old stack is gone for good (it stops within seven seconds): nothing
    // more of it reaches the registrar from the port the new one uses.
    pump(8s);
    EXPECT_EQ(SipRig::registrarLog().substr(registrarSaw).find("expires [0]"), std::string::npos)
        << SipRig::registrarLog().substr(registrarSaw);
    EXPECT_NE(SipRig::registrations().find(contact), std::string::npos) << SipRig::registrations();
    EXPECT_EQ(display(), kIdleLine);
    EXPECT_TRUE(boxes->shown.empty());
}

}  // namespace
}  // namespace pelex::testing
