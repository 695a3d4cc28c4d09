#include "control/pelex_control_factory.h"

#include <QTimer>

#include "account_protocol/detached_process_starter.h"
#include "account_protocol/qt_tcp_socket.h"
#include "control/alert_output.h"
#include "control/audio_choice_settings.h"
#include "control/cls_rtc_engine.h"
#include "control/qt_desktop.h"
#include "control/registry_settings_store.h"
#include "settings/store_location.h"
#include "sip_engine/linphone/linphone_client.h"
#include "sip_engine/linphone/qt_one_shot_timer.h"

namespace pelex::control {

namespace {

// The user's store; when it cannot be opened the phone still works, with
// settings kept only until it is closed. `problem` then says why.
std::shared_ptr<SettingsStore> openSettings(const std::shared_ptr<platform::MessageBox>& box, std::u16string& problem) {
    try {
        return std::make_shared<RegistrySettingsStore>(settings::openUserStore(), box);
    } catch (const std::exception& e) {
        problem = u"The settings store cannot be opened (" + QString::fromLocal8Bit(e.what()).toStdU16String() +
                  u"). Your number and options will not be kept after this session.";
        return std::make_shared<RegistrySettingsStore>(settings::Store::openInMemory(), box);
    }
}

}  // namespace

std::unique_ptr<Pelex_MSN> createPelexControl(QWidget* parent, const QString& controlFolder) {
    ControlServices s;
    auto box = std::make_shared<QtMessageBox>();
    std::u16string storeProblem;
    s.messageBox = box;
    s.store = openSettings(box, storeProblem);
    // One connection to the desktop's sound server serves the engine's
    // devices and the control's own sounds. The engine keeps the user's
    // microphone, speaker and ring device beside the options.
    sip_engine::linphone_rtc::prepareStackSoundClient();  // before the sound server's thread
    auto soundServer = std::make_shared<sound::SoundServer>();
    auto choices = std::make_shared<SettingsAudioChoices>(s.store);
    s.audio = std::make_shared<ServerAlertOutput>(soundServer, choices);
    s.urlOpener = std::make_shared<DesktopUrlOpener>();
    s.clock = std::make_shared<SystemClock>();
    s.processStarter = std::make_shared<account_protocol::DetachedProcessStarter>();
    s.socket = std::make_unique<account_protocol::QtTcpSocket>();
    s.soundNotes = std::make_shared<SoundNotes>();
    const std::weak_ptr<SoundNotes> notes = s.soundNotes;
    auto note = [notes](const std::u16string& text) {
        if (auto n = notes.lock()) n->post(text);
    };
    s.engineFactory = clsRtcEngineFactory(
        {sip_engine::linphone_rtc::linphoneClientFactory(soundServer, choices, note), sip_engine::linphone_rtc::qtOneShotTimerFactory()});
    s.endpoints = serviceEndpointsFromEnvironment();
    s.controlFolder = controlFolder;
    auto control = std::make_unique<Pelex_MSN>(std::move(s), parent);
    box->setOwner(control.get());
    if (!storeProblem.empty()) {
        // Told once the phone is on the screen, over its window.
        QTimer::singleShot(0, control.get(), [box, storeProblem] {
            box->show(storeProblem, u"PelexMSN", platform::MessageIcon::Exclamation);
        });
    }
    return control;
}

}  // namespace pelex::control
