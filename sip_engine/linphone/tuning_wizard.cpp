#include "sip_engine/linphone/tuning_wizard.h"

#include <linphone++/linphone.hh>

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

#include "sip_engine/linphone/tone_file.h"

namespace pelex::sip_engine::linphone_rtc {
namespace {

using Device = std::shared_ptr<linphone::AudioDevice>;
using Capability = linphone::AudioDevice::Capabilities;

std::vector<Device> devicesWith(linphone::Core& core, Capability capability) {
    std::vector<Device> found;
    for (const auto& device : core.getExtendedAudioDevices())
        if (device->hasCapability(capability)) found.push_back(device);
    return found;
}

QComboBox* deviceBox(const std::vector<Device>& devices, const std::shared_ptr<const linphone::AudioDevice>& current,
                     QWidget* parent) {
    auto* box = new QComboBox(parent);
    for (const auto& d : devices) {
        box->addItem(QString::fromStdString(d->getDeviceName() + " (" + d->getDriverName() + ")"));
        if (current && d->getId() == current->getId()) box->setCurrentIndex(box->count() - 1);
    }
    box->setEnabled(!devices.empty());
    return box;
}

}  // namespace

void runTuningWizard(const std::shared_ptr<linphone::Core>& core, rtc::WindowHandle parent,
                     const std::filesystem::path& dataDir) {
    const auto inputs = devicesWith(*core, Capability::CapabilityRecord);
    const auto outputs = devicesWith(*core, Capability::CapabilityPlay);

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Audio Tuning"));
    auto* form = new QFormLayout(&dialog);
    auto* capture = deviceBox(inputs, core->getDefaultInputAudioDevice(), &dialog);
    auto* playback = deviceBox(outputs, core->getDefaultOutputAudioDevice(), &dialog);
    auto* status = new QLabel(&dialog);
    auto* testPlayback = new QPushButton(QStringLiteral("Play a test tone"), &dialog);
    auto* testCapture = new QPushButton(QStringLiteral("Hear yourself (echo test)"), &dialog);
    testCapture->setCheckable(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(QStringLiteral("Microphone:"), capture);
    form->addRow(QStringLiteral("Speaker:"), playback);
    form->addRow(testPlayback, testCapture);
    form->addRow(status);
    form->addRow(buttons);
    if (inputs.empty() && outputs.empty()) status->setText(QStringLiteral("No audio devices were found."));

    auto chosen = [](const std::vector<Device>& list, QComboBox* box) -> Device {
        const int i = box->currentIndex();
        return i >= 0 && i < static_cast<int>(list.size()) ? list[static_cast<std::size_t>(i)] : nullptr;
    };
    auto applyChoice = [&] {
        if (auto in = chosen(inputs, capture)) core->setDefaultInputAudioDevice(in);
        if (auto out = chosen(outputs, playback)) core->setDefaultOutputAudioDevice(out);
    };
    QObject::connect(testPlayback, &QPushButton::clicked, &dialog, [&] {
        applyChoice();
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
        applyChoice();
        if (on)
            status->setText(core->startEchoTester(16000) == 0 ? QStringLiteral("Speak: you should hear yourself.")
                                                              : QStringLiteral("The microphone could not start."));
        else
            core->stopEchoTester();
    });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    if (parent != 0) {
        dialog.winId();
        if (QWindow* owner = QWindow::fromWinId(static_cast<WId>(parent)))
            dialog.windowHandle()->setTransientParent(owner);
    }
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (testCapture->isChecked()) core->stopEchoTester();
    if (accepted) applyChoice();
}

}  // namespace pelex::sip_engine::linphone_rtc
