#include "sip_engine/linphone/call_sound.h"

#include <QApplication>

#include "sip_engine/linphone/tone_file.h"
#include "sip_engine/linphone/tuning_wizard.h"
#include "sip_engine/rtc/rtc_error.h"

namespace pelex::sip_engine::linphone_rtc {

CallSound::CallSound(const LinphoneOptions& options) : options_(options) {}

void CallSound::preparePlayFile(linphone::Core& core) const {
    if (options_.audioFromFiles) {
        const auto tone = options_.dataDir / "send-tone.wav";
        writeToneFile(tone);
        core.setUseFiles(true);
        core.setPlayFile(tone.string());
    } else {
        // Sent in place of a microphone only when the stack has no capture
        // device at all.
        const auto silence = options_.dataDir / "silence.wav";
        writeSilenceFile(silence);
        core.setPlayFile(silence.string());
    }
}

void CallSound::start(const std::shared_ptr<linphone::Core>& core) {
    std::shared_ptr<sound::SoundServer> server;
    if (!options_.audioFromFiles)
        server = options_.soundServer ? options_.soundServer : std::make_shared<sound::SoundServer>();
    devices_ = std::make_shared<SoundDevices>(core, std::move(server), options_.audioChoices, options_.soundNote);
    if (!options_.audioFromFiles) devices_->refresh();
}

void CallSound::beforeCall() {
    if (devices_ && !options_.audioFromFiles) devices_->refresh();
}

void CallSound::onCallState(linphone::Call& call, linphone::Call::State state) {
    using S = linphone::Call::State;
    if (!devices_ || options_.audioFromFiles) return;
    if (state == S::IncomingReceived) {
        devices_->refresh();
        devices_->applyTo(call);
    } else if (state == S::Released) {
        probeDue_ = true;  // once the call is gone (probeIfDue)
    }
}

void CallSound::probeIfDue(linphone::Core& core) {
    if (!probeDue_ || !devices_ || core.getCallsNb() != 0) return;
    probeDue_ = false;
    devices_->reloadIfDue();
}

void CallSound::runTuningWizard(const std::shared_ptr<linphone::Core>& core, rtc::WindowHandle parent) {
    if (!core || !devices_) throw rtc::RTCError("the client is not running");
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        throw rtc::RTCError("no user interface to show the tuning dialog in");
    linphone_rtc::runTuningWizard(core, devices_, parent, options_.dataDir);
}

void CallSound::release() {
    if (devices_) devices_->detach();
    devices_.reset();
}

}  // namespace pelex::sip_engine::linphone_rtc
