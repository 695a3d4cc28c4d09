#include "sip_engine/linphone/tuning_wizard.h"

#include <linphone++/linphone.hh>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

#include "sip_engine/linphone/sound_devices.h"
#include "sip_engine/linphone/tone_file.h"

namespace pelex::sip_engine::linphone_rtc {
namespace {

/// A list of devices headed by "the desktop's default" (an empty id).
QComboBox* deviceBox(const std::vector<SoundDevice>& offered, bool capture, const std::string& chosen,
                     QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->addItem(QStringLiteral("Desktop default"), QString());
    for (const auto& d : offered) {
        if (capture ? !d.canCapture : !d.canPlay) continue;
        box->addItem(QString::fromStdString(d.name), QString::fromStdString(d.id));
        if (d.id == chosen) box->setCurrentIndex(box->count() - 1);
    }
    return box;
}

std::string chosenId(const QComboBox* box) { return box->currentData().toString().toStdString(); }

/// Makes the dialog a child of the window behind `parent`. A window of this
/// process is used directly; a foreign one is wrapped for as long as the
/// dialog is shown (the wrapper is deleted with it).
std::unique_ptr<QWindow> attachToParent(QDialog& dialog, rtc::WindowHandle parent) {
    if (parent == 0) return nullptr;
    const auto id = static_cast<WId>(static_cast<std::uint32_t>(parent));
    if (QWidget* own = QWidget::find(id)) {
        dialog.setParent(own->window(), dialog.windowFlags() | Qt::Dialog);
        return nullptr;
    }
    std::unique_ptr<QWindow> foreign(QWindow::fromWinId(id));
    if (foreign) {
        dialog.winId();
        dialog.windowHandle()->setTransientParent(foreign.get());
    }
    return foreign;
}

}  // namespace

void runTuningWizard(std::shared_ptr<linphone::Core> core, std::shared_ptr<SoundDevices> sound,
                     rtc::WindowHandle parent, std::filesystem::path dataDir) {
    if (core->getCallsNb() == 0) sound->reloadIfDue();  // show what is plugged in now
    sound->refresh();
    const AudioChoice before = sound->choice();
    const auto offered = sound->offered();
    const auto picked = sound->pick();

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Audio Tuning"));
    auto* form = new QFormLayout(&dialog);
    auto* microphone = deviceBox(offered, true, before.microphone, &dialog);
    auto* speaker = deviceBox(offered, false, before.speaker, &dialog);
    auto* ring = deviceBox(offered, false, before.ring, &dialog);
    microphone->setAccessibleName(QStringLiteral("Microphone"));
    speaker->setAccessibleName(QStringLiteral("Speaker"));
    ring->setAccessibleName(QStringLiteral("Ring"));
    ring->setToolTip(QStringLiteral("Where an incoming call rings; the desktop's default output rings even "
                                    "while a headset is the call's speaker."));
    auto* echoCancel = new QCheckBox(QStringLiteral("Cancel &echo from the speaker"), &dialog);
    echoCancel->setChecked(before.echoCancel);
    echoCancel->setAccessibleName(QStringLiteral("Echo cancellation"));
    echoCancel->setToolTip(QStringLiteral("Keeps the caller from hearing themselves through your speakers and "
                                          "microphone; not needed with a headset."));
    auto* status = new QLabel(&dialog);
    status->setWordWrap(true);
    status->setAccessibleName(QStringLiteral("Audio status"));
    auto* testPlayback = new QPushButton(QStringLiteral("&Play a test tone"), &dialog);
    auto* testCapture = new QPushButton(QStringLiteral("&Hear yourself (echo test)"), &dialog);
    testCapture->setCheckable(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(QStringLiteral("&Microphone:"), microphone);
    form->addRow(QStringLiteral("&Speaker:"), speaker);
    form->addRow(QStringLiteral("&Ring:"), ring);
    form->addRow(echoCancel);
    form->addRow(testPlayback, testCapture);
    form->addRow(status);
    form->addRow(buttons);
    const bool anyMicrophone = microphone->count() > 1, anySpeaker = speaker->count() > 1;
    if (!anyMicrophone && !anySpeaker) status->setText(QStringLiteral("No audio devices were found."));
    else if (!anyMicrophone) status->setText(QStringLiteral("No microphone was found."));
    else if (!anySpeaker) status->setText(QStringLiteral("No speaker was found."));
    testCapture->setEnabled(anyMicrophone && anySpeaker);
    testPlayback->setEnabled(anySpeaker);

    // Trying a device makes it the stack's default for a moment; Cancel
    // puts the stored choice back. Nothing is tried once the client stopped.
    auto tryChoice = [&] {
        if (!sound->attached()) return false;
        const AudioChoice trial{chosenId(microphone), chosenId(speaker), chosenId(ring)};
        if (auto d = sound->device(trial.microphone)) core->setDefaultInputAudioDevice(d);
        else if (picked.microphone)
            if (auto p = sound->device(picked.microphone->id)) core->setDefaultInputAudioDevice(p);
        const std::string out = !trial.speaker.empty() ? trial.speaker
                                : picked.speaker      ? picked.speaker->id
                                                      : std::string();
        if (auto d = sound->device(out)) {
            core->setDefaultOutputAudioDevice(d);
            core->setRingerDevice(out);
            core->setMediaDevice(out);
        }
        return true;
    };
    QObject::connect(testPlayback, &QPushButton::clicked, &dialog, [&] {
        if (!tryChoice()) return status->setText(QStringLiteral("The phone has signed out."));
        const auto tone = dataDir / "test-tone.wav";
        try {
            writeToneFile(tone);
            status->setText(core->playLocal(tone.string()) == 0 ? QStringLiteral("Playing a test tone...")
                                                                 : QStringLiteral("The speaker could not play."));
        } catch (const std::exception&) {
            status->setText(QStringLiteral("The test tone could not be prepared."));
        }
    });
    QObject::connect(testCapture, &QPushButton::toggled, &dialog, [&](bool on) {
        if (on) {
            if (!tryChoice()) return status->setText(QStringLiteral("The phone has signed out."));
            status->setText(core->startEchoTester(16000) == 0 ? QStringLiteral("Speak: you should hear yourself.")
                                                              : QStringLiteral("The microphone could not start."));
        } else {
            if (sound->attached()) core->stopEchoTester();
            status->clear();
        }
    });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    const auto foreignParent = attachToParent(dialog, parent);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (sound->attached()) {
        if (testCapture->isChecked()) core->stopEchoTester();
        core->stopRinging();
    }
    if (accepted) sound->choose({chosenId(microphone), chosenId(speaker), chosenId(ring), echoCancel->isChecked()});
    else sound->refresh();
    if (dialog.windowHandle()) dialog.windowHandle()->setTransientParent(nullptr);
}

}  // namespace pelex::sip_engine::linphone_rtc
