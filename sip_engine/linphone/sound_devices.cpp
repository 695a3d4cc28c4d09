#include "sip_engine/linphone/sound_devices.h"

#include <linphone++/linphone.hh>

namespace pelex::sip_engine::linphone_rtc {
namespace {

using Capability = linphone::AudioDevice::Capabilities;

SoundDevice describe(const linphone::AudioDevice& d) {
    return {d.getId(), d.getDeviceName(), d.getDriverName(), d.hasCapability(Capability::CapabilityRecord),
            d.hasCapability(Capability::CapabilityPlay)};
}

}  // namespace

SoundDevices::SoundDevices(std::shared_ptr<linphone::Core> core, std::shared_ptr<AudioChoiceStore> store,
                           SoundNoteHandler note)
    : core_(std::move(core)), store_(std::move(store)), note_(std::move(note)) {}

AudioChoice SoundDevices::choice() const { return store_ ? store_->load() : AudioChoice{}; }

std::shared_ptr<linphone::AudioDevice> SoundDevices::device(const std::string& id) const {
    for (const auto& d : core_->getExtendedAudioDevices())
        if (d->getId() == id) return d;
    return nullptr;
}

void SoundDevices::refresh(bool detectAgain) {
    server_ = querySoundServer();
    if (detectAgain && core_->getCallsNb() == 0) core_->reloadSoundDevices();
    std::vector<SoundDevice> all;
    for (const auto& d : core_->getExtendedAudioDevices()) all.push_back(describe(*d));
    offered_ = offeredDevices(all, server_);
    pick_ = pickDevices(offered_, choice(), server_);

    const auto [microphone, speaker] = pickedDevices();
    if (microphone) core_->setDefaultInputAudioDevice(microphone);
    if (speaker) core_->setDefaultOutputAudioDevice(speaker);
    if (pick_.speaker) {
        core_->setRingerDevice(pick_.speaker->id);
        core_->setMediaDevice(pick_.speaker->id);
    }
    // Without a microphone of its own the stack would fall back on any
    // capture it can open (ALSA's default may be the speaker's monitor):
    // the far end hears silence instead.
    core_->enableMic(pick_.microphone.has_value());

    const auto note = soundNote(pick_, server_);
    if (note != lastNote_) {
        lastNote_ = note;
        if (note_) note_(note);
    }
}

SoundDevices::Devices SoundDevices::pickedDevices() const {
    return {pick_.microphone ? device(pick_.microphone->id) : nullptr,
            pick_.speaker ? device(pick_.speaker->id) : nullptr};
}

void SoundDevices::applyTo(linphone::Call& call) {
    const auto [microphone, speaker] = pickedDevices();
    if (microphone) call.setInputAudioDevice(microphone);
    if (speaker) call.setOutputAudioDevice(speaker);
}

void SoundDevices::choose(const AudioChoice& chosen) {
    if (store_) store_->save(chosen);
    refresh(false);
    if (core_->getCallsNb() == 0) return;
    const auto [microphone, speaker] = pickedDevices();
    if (microphone) core_->setInputAudioDevice(microphone);
    if (speaker) core_->setOutputAudioDevice(speaker);
}

}  // namespace pelex::sip_engine::linphone_rtc
