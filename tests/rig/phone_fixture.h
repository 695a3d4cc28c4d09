#pragma once
// The phone control on the real SIP engine (liblinphone) against the rig's
// Kamailio and baresip peer: what a user sees (display, call status, timer,
// message boxes, alert sounds) and what the engine raised, in order.
//
// The account server is the control's in-memory socket: these tests are
// about calls, and a login code naming the rig's registrar is all the
// engine needs. Each test starts its own rig (ports and folder of its own),
// so tests run side by side.

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "control/cls_rtc_engine.h"
#include "control/tests/control_harness.h"
#include "control/wave_sounds.h"
#include "sip_engine/linphone/core_stopper.h"
#include "sip_engine/linphone/linphone_client.h"
#include "sip_engine/linphone/qt_one_shot_timer.h"
#include "sound/sound_server.h"
#include "tests/rig/baresip_control.h"
#include "tests/rig/rig_fixture.h"

namespace pelex::testing {

/// Passes the engine's events on to the control, keeping a line of text for
/// each ("Status Line 1 CONNECTED", "Ringing", "RegFail Number is not registered.").
class EventLog : public control::CallEngineEvents {
public:
    control::CallEngineEvents* to = nullptr;
    std::vector<std::string> lines;

    void Status(const std::u16string& s) override { add("Status " + utf8(s)), to->Status(s); }
    void RegOK(std::int16_t state) override { add("RegOK " + std::to_string(state)), to->RegOK(state); }
    void RegFail(const std::u16string& s) override { add("RegFail " + utf8(s)), to->RegFail(s); }
    void SessionStateText(const std::u16string& s) override {
        add("SessionStateText " + utf8(s)), to->SessionStateText(s);
    }
    void Processing() override { add("Processing"), to->Processing(); }
    void Ringing() override { add("Ringing"), to->Ringing(); }
    void Answered() override { add("Answered"), to->Answered(); }
    void Connected() override { add("Connected"), to->Connected(); }
    void CallDisconnect() override { add("CallDisconnect"), to->CallDisconnect(); }
    void SignOut() override { add("SignOut"), to->SignOut(); }

    bool has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }

private:
    static std::string utf8(const std::u16string& s) { return QString::fromStdU16String(s).toStdString(); }
    void add(std::string line) { lines.push_back(std::move(line)); }
};

inline const QString kIdleLine = QStringLiteral("Line 1 is initialized and ready to make/receive calls.");

class PhoneOnRig : public control::testing::ControlTest {
protected:
    using Clock = std::chrono::steady_clock;

    /// Starts the rig and the peer's control connection.
    void startRig(SipRigOptions options = {}) {
        rig.emplace(std::move(options));
        peer = std::make_unique<BaresipControl>(SipRig::peerControlPort());
    }

    /// Makes every engine of the control (made by `start`) the real one,
    /// its events kept in `log`.
    void useRealEngine(std::optional<std::chrono::milliseconds> registrationWait = std::nullopt) {
        auto real = control::clsRtcEngineFactory(enginePlatform(), registrationWait);
        engineFactory = [this, real](control::CallEngineEvents& events) {
            log.to = &events;
            return real(log);
        };
    }
    /// Makes the control on the real engine and signs in up to the login
    /// code, which names the rig's registrar. `registrationWait` bounds the
    /// first registration (the engine's default when not given).
    void signIn(std::optional<std::chrono::milliseconds> registrationWait = std::nullopt) {
        useRealEngine(registrationWait);
        start();
        ControlTest::signIn(SipRig::kPhoneUser, "account-password");
        deliverLoginCode(SipRig::kPhonePassword, "," + SipRig::serverAddress() + "," + std::to_string(SipRig::sipPort()));
    }
    /// The engine's platform: liblinphone as the environment sets it up, on
    /// `soundServer` when the test made one (as the production control
    /// does: one connection for the engine and the alert sounds), with its
    /// notes on the control's display.
    sip_engine::ClsRTCPlatform enginePlatform() {
        if (!soundServer) return sip_engine::linphone_rtc::linphonePlatform();
        const std::weak_ptr<control::SoundNotes> notes = soundNotes;
        auto clients = sip_engine::linphone_rtc::linphoneClientFactory(soundServer, nullptr, [notes](const std::u16string& t) {
            if (auto n = notes.lock()) n->post(t);
        });
        return {clients, sip_engine::linphone_rtc::qtOneShotTimerFactory()};
    }
    /// Signs in and waits until the line is ready.
    void signInAndWaitUntilReady() {
        signIn();
        if (!waitFor([&] { return display() == kIdleLine; }, std::chrono::seconds(15)))
            throw std::runtime_error("the phone did not register; display: " + display().toStdString());
    }

    /// Runs the event loop (and reads the peer's events) until `done` or `limit`.
    bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        for (;;) {
            QApplication::processEvents(QEventLoop::AllEvents);
            if (peer) peer->poll();
            if (done()) return true;
            if (Clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void pump(std::chrono::milliseconds time) {
        waitFor([] { return false; }, time);
    }
    /// Waits until the stacks of released engines, which unregister and stop
    /// in the background, are off (they give up trying after 7 s).
    bool waitUntilStacksStopped() {
        return waitFor([] { return sip_engine::linphone_rtc::coresStopping() == 0; }, std::chrono::seconds(10));
    }
    bool waitForEvent(const std::string& line, std::chrono::milliseconds limit) {
        return waitFor([&] { return log.has(line); }, limit);
    }
    bool waitForPeer(const std::string& type, const std::string& aor, std::chrono::milliseconds limit) {
        return waitFor([&] { return peer->has(type, aor); }, limit);
    }
    /// The peer's event `type` for `aor` (its "param" says why a call closed).
    std::string peerParam(const std::string& type, const std::string& aor) const {
        return peer->find(type, aor).value("param").toString().toStdString();
    }

    /// Types `number` into the number box and presses the call button.
    void dial(const std::string& number) {
        box("lblcall")->setText(QString::fromStdString(number));
        button("imgCall")->click();
    }
    /// The peer (user `from`, default 1001) calls the phone.
    void peerCallsThePhone(const std::string& from = "1001") {
        peer->send("uafind", "sip:" + from + "@" + SipRig::serverAddress());
        peer->send("dial", "sip:" + std::string(SipRig::kPhoneUser) + "@" + SipRig::serverAddress());
    }

    QString display() const { return text("lblDisplay"); }
    QString callStatus() const { return text("lblCallStatus"); }
    bool timerShown() const { return shown("lbltimer"); }
    int alertsPlayed(int sound) const {
        const auto wave = control::waveResource(sound);
        int n = 0;
        for (const auto& played : audio->played)
            if (played.size() == wave.size() && std::equal(played.begin(), played.end(), wave.begin())) ++n;
        return n;
    }

    void TearDown() override {
        control.reset();
        EXPECT_TRUE(waitUntilStacksStopped()) << "a released stack still runs as the rig goes";
        peer.reset();
        rig.reset();
    }

    std::optional<SipRig> rig;
    std::unique_ptr<BaresipControl> peer;
    EventLog log;
    /// The sound server the engine uses when set (see enginePlatform).
    std::shared_ptr<sound::SoundServer> soundServer;
};

}  // namespace pelex::testing
