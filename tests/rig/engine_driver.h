#pragma once
// Drives a clsRTC on liblinphone from a test or benchmark: creates it for an
// account on the rig, runs the Qt event loop while waiting, and records every
// event the engine raises.

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "sip_engine/cls_rtc.h"
#include "sip_engine/audio_choice.h"
#include "sip_engine/linphone/linphone_client.h"
#include "sip_engine/linphone/qt_one_shot_timer.h"
#include "sip_engine/tests/recording_events.h"
#include "tests/rig/baresip_control.h"

namespace pelex::testing {

/// The user's choice of sound devices (and echo cancellation), in memory.
class MemoryAudioChoices : public sip_engine::AudioChoiceStore {
public:
    sip_engine::AudioChoice load() override { return choice; }
    void save(const sip_engine::AudioChoice& c) override { choice = c; }
    sip_engine::AudioChoice choice;
};

/// liblinphone on the desktop's sound server, taking the user's choice from
/// `choices` and telling `note` (if any) about missing devices.
inline sip_engine::ClsRTCPlatform linphoneWithChoices(std::shared_ptr<sip_engine::AudioChoiceStore> choices,
                                                      sip_engine::linphone_rtc::SoundNoteHandler note = {}) {
    return {sip_engine::linphone_rtc::linphoneClientFactory(nullptr, std::move(choices), std::move(note)),
            sip_engine::linphone_rtc::qtOneShotTimerFactory()};
}

class EngineDriver {
public:
    /// An engine on `platform` (default: liblinphone as the environment configures it).
    EngineDriver(const std::string& server, const std::string& user, const std::string& password,
                 std::optional<sip_engine::ClsRTCPlatform> platform = std::nullopt) {
        engine = std::make_unique<sip_engine::clsRTC>(platform ? *platform : sip_engine::linphone_rtc::linphonePlatform(),
                                                      &events);
        engine->LineNumber = u"Line 1";
        engine->RegServerIP = QString::fromStdString(server).toStdU16String();
        engine->RegUserName = QString::fromStdString(user).toStdU16String();
        engine->RegPassword = QString::fromStdString(password).toStdU16String();
        engine->RegSIPPort = u"5060";
    }

    /// Runs the event loop until `done` or `limit` passed, reading `peer`'s
    /// events as they arrive. The loop blocks like the phone's own: `done` is
    /// checked when the engine raises an event, when the peer reports, and
    /// every 50 ms, so waiting neither delays the stack nor spins.
    /// Returns whether `done` became true.
    bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit,
                 BaresipControl* peer = nullptr) {
        if (peer != nullptr) peer->poll();
        if (done()) return true;
        QEventLoop loop;
        auto check = [&] {
            if (done()) loop.quit();
        };
        events.raisedHook = check;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(limit);
        QTimer now_and_then;
        QObject::connect(&now_and_then, &QTimer::timeout, &loop, [&] {
            if (peer != nullptr) peer->poll();
            check();
        });
        now_and_then.start(50);
        std::unique_ptr<QSocketNotifier> peerReports;
        if (peer != nullptr) {
            peerReports = std::make_unique<QSocketNotifier>(peer->fd(), QSocketNotifier::Read);
            QObject::connect(peerReports.get(), &QSocketNotifier::activated, &loop, [&] {
                peer->poll();
                check();
            });
        }
        loop.exec();
        events.raisedHook = nullptr;
        return done();
    }
    /// Runs the event loop for `time`.
    void pump(std::chrono::milliseconds time, BaresipControl* peer = nullptr) {
        waitFor([] { return false; }, time, peer);
    }

    /// True once the engine raised `event` (e.g. "Status Line 1 CONNECTED").
    bool saw(const std::string& event) const {
        return std::find(events.raised.begin(), events.raised.end(), event) != events.raised.end();
    }
    /// Waits until the engine raised `event`.
    bool waitForEvent(const std::string& event, std::chrono::milliseconds limit, BaresipControl* peer = nullptr) {
        return waitFor([&] { return saw(event); }, limit, peer);
    }

    sip_engine::testing::RecordingEvents events;
    std::unique_ptr<sip_engine::clsRTC> engine;
};

inline const std::string kReady = "Status Line 1 is initialized and ready to make/receive calls.";

}  // namespace pelex::testing
