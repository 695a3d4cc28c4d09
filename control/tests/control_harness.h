#pragma once
// One phone control wired to in-memory seams: the account server's socket,
// the engine, the store, message boxes, sound, browser and clock.

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "account_protocol/qt_tcp_socket.h"
#include "account_protocol/testing/memory_socket.h"
#include "codepage/codepage.h"
#include "control/image_button.h"
#include "control/pelex_msn.h"
#include "control/testing/memory_settings_store.h"
#include "control/testing/scripted_engine.h"
#include "crypto/credential_text.h"
#include "platform/testing/fixed_clock.h"
#include "platform/testing/recording_audio_output.h"
#include "platform/testing/recording_message_box.h"
#include "platform/testing/recording_process_starter.h"
#include "platform/testing/recording_url_opener.h"

namespace pelex::control::testing {

inline constexpr char16_t kOptionKey[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Option";
inline constexpr char16_t kProfileKey[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Profile";
/// The key text the fixed clock gives every sign-in.
inline constexpr char kKeyText[] = "12/8/2026 4:05:09 PM";

class ControlTest : public ::testing::Test {
protected:
    ControlTest() : clock(std::make_shared<platform::testing::FixedClock>(platform::LocalDateTime{2026, 12, 8, 16, 5, 9})) {}

    /// Makes the control (start-up runs with the store as the test left it).
    void start() {
        ControlServices s;
        s.messageBox = boxes;
        s.audio = audioOutput ? audioOutput : audio;
        s.urlOpener = urls;
        s.clock = clock;
        s.processStarter = starter;
        s.store = store;
        if (accountServerPort.empty()) {
            auto memorySocket = std::make_unique<account_protocol::testing::MemorySocket>();
            socket = memorySocket.get();
            s.socket = std::move(memorySocket);
            s.endpoints = {u"account.test", u"5061", u"http://www.site.test"};
        } else {
            s.socket = std::make_unique<account_protocol::QtTcpSocket>();
            s.endpoints = {u"127.0.0.1", accountServerPort, u"http://www.site.test"};
        }
        s.engineFactory = engineFactory ? engineFactory : [this](CallEngineEvents& events) {
            auto engine = std::make_unique<ScriptedEngine>(events);
            engines.push_back(engine.get());
            return engine;
        };
        s.soundNotes = soundNotes;
        s.signInTimeout = signInTimeout;
        if (settingsStore) s.store = settingsStore;
        if (messageBox) s.messageBox = messageBox;
        control = std::make_unique<Pelex_MSN>(std::move(s));
    }

    template <class T = QWidget>
    T* child(const char* name) const {
        T* w = control->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString text(const char* labelName) const { return child<QLabel>(labelName)->text(); }
    QLineEdit* box(const char* name) const { return child<QLineEdit>(name); }
    ImageButton* button(const char* name) const { return child<ImageButton>(name); }
    QTimer* timer(const char* name) const { return child<QTimer>(name); }
    /// Visible with respect to the control (the control itself is not shown).
    bool shown(const char* name) const { return child(name)->isVisibleTo(control.get()); }
    ScriptedEngine& engine() const { return *engines.back(); }

    /// Runs the sign-in up to and including the server's login code `code`
    /// (the SIP password enciphered under the sign-in's key is put in front
    /// unless `raw`).
    void signIn(const std::string& user = "1000", const std::string& password = "secret") {
        box("txtusrname")->setText(QString::fromStdString(user));
        box("txtPassword")->setText(QString::fromStdString(password));
        button("imgLogin")->click();
        socket->acceptConnection();
        socket->takeSent();
        socket->deliver("ACC%200{$}");
        socket->takeSent();
    }
    /// Delivers a login code message whose first field is `sipPassword`
    /// enciphered under the sign-in's key, followed by `rest`.
    void deliverLoginCode(const std::string& sipPassword, const std::string& rest) {
        socket->deliver("SIPCODE%20" + crypto::EncryptText(sipPassword, kKeyText) + rest + "{$}");
    }
    /// Signs in and registers: the engine reports the idle line.
    void signInAndRegister() {
        signIn();
        deliverLoginCode("sippw", ",127.0.0.1,5060");
        engine().events.Status(u"Line 1 is initialized and ready to make/receive calls.");
        engine().events.RegOK(2);
    }

    std::shared_ptr<platform::testing::RecordingMessageBox> boxes =
        std::make_shared<platform::testing::RecordingMessageBox>();
    std::shared_ptr<platform::testing::RecordingAudioOutput> audio =
        std::make_shared<platform::testing::RecordingAudioOutput>();
    std::shared_ptr<platform::testing::RecordingUrlOpener> urls =
        std::make_shared<platform::testing::RecordingUrlOpener>();
    std::shared_ptr<platform::testing::FixedClock> clock;
    std::shared_ptr<platform::testing::RecordingProcessStarter> starter =
        std::make_shared<platform::testing::RecordingProcessStarter>();
    std::shared_ptr<MemorySettingsStore> store = std::make_shared<MemorySettingsStore>();
    std::shared_ptr<SoundNotes> soundNotes = std::make_shared<SoundNotes>();
    account_protocol::testing::MemorySocket* socket = nullptr;
    std::vector<ScriptedEngine*> engines;
    CallEngineFactory engineFactory;             ///< when set, used instead of scripted engines
    std::shared_ptr<SettingsStore> settingsStore;  ///< when set, used instead of `store`
    std::shared_ptr<platform::AudioOutput> audioOutput;  ///< when set, used instead of `audio`
    std::shared_ptr<platform::MessageBox> messageBox;  ///< when set, used instead of `boxes`
    /// When set, the control signs in over TCP to the account server on this
    /// loopback port instead of the in-memory `socket` (which stays null).
    std::u16string accountServerPort;
    std::chrono::milliseconds signInTimeout{20000};
    std::unique_ptr<Pelex_MSN> control;
};

}  // namespace pelex::control::testing
