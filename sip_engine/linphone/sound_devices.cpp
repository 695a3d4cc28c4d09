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

SoundDevices::SoundDevices(std::shared_ptr<linphone::Core> core, std::shared_ptr<sound::SoundServer> server,
                           std::shared_ptr<AudioChoiceStore> store, SoundNoteHandler note)
    : core_(std::move(core)), serverLink_(std::move(server)), store_(std::move(store)), note_(std::move(note)) {
    if (!serverLink_) return;
    reloadedFor_ = serverLink_->state();  // the stack has just looked
    QObject::connect(serverLink_.get(), &sound::SoundServer::devicesChanged, &receiver_, [this] {
        reloadDue_ = true;
        reloadIfDue();
    });
    QObject::connect(serverLink_.get(), &sound::SoundServer::stateChanged, &receiver_, [this] { refresh(); });
}

SoundDevices::~SoundDevices() = default;

void SoundDevices::detach() {
    if (serverLink_) serverLink_->disconnect(&receiver_);
    serverLink_.reset();
    core_.reset();
}

AudioChoice SoundDevices::choice() const { return store_ ? store_->load() : AudioChoice{}; }

std::shared_ptr<linphone::AudioDevice> SoundDevices::device(const std::string& id) const {
    if (!core_) return nullptr;
    for (const auto& d : core_->getExtendedAudioDevices())
        if (d->getId() == id) return d;
    return nullptr;
}

bool SoundDevices::reloadIfDue() {
    if (!core_ || !reloadDue_ || core_->getCallsNb() != 0) return false;
    if (serverLink_) {
        const auto state = serverLink_->state();
        if (state.running && !state.answering) return false;  // once it answers again
    }
    reload();
    return true;
}

void SoundDevices::reload() {
    if (!core_) return;
    reloadDue_ = false;
    if (serverLink_) reloadedFor_ = serverLink_->state();
    core_->reloadSoundDevices();
    refresh();
}

void SoundDevices::refresh() {
    if (!core_) return;
    if (serverLink_) {
        server_ = serverLink_->state();
        // Heard of before the signal says so (it waits for the event loop).
        if (server_.known && !server_.sameDevices(reloadedFor_)) reloadDue_ = true;
        if (reloadIfDue()) return;  // which refreshed
    }
    std::vector<SoundDevice> all;
    for (const auto& d : core_->getExtendedAudioDevices()) all.push_back(describe(*d));
    offered_ = offeredDevices(all, server_);
    const auto chosen = choice();
    pick_ = pickDevices(offered_, chosen, server_);
    // Taken by the next call (the stack builds the canceller into a call's
    // stream when it starts).
    if (serverLink_ && core_->echoCancellationEnabled() != chosen.echoCancel)
        core_->enableEchoCancellation(chosen.echoCancel);

    // A stopped server holds every stack call that opens or closes a device
    // on it until it answers again: calls go without devices meanwhile, and
    // a running call gets them back once it answers. (Switching the stack's
    // files on or off resets its devices: done before they are set.)
    const bool stale = reloadedFor_.epoch != server_.epoch && reloadedFor_.running;
    const bool silent = serverLink_ && ((server_.running && !server_.answering) || stale);
    if (silent != silent_) core_->setUseFiles(silent);

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
    if (silent_ && !silent) moveCallsToPick();
    silent_ = silent;

    // Nothing is said before the server's first answer (or its absence) is known.
    const auto note = soundNote(pick_, server_);
    if ((!serverLink_ || server_.known) && note != lastNote_) {
        lastNote_ = note;
        if (note_) note_(note);
    }
}

SoundDevices::Devices SoundDevices::pickedDevices() const {
    return {pick_.microphone ? device(pick_.microphone->id) : nullptr,
            pick_.speaker ? device(pick_.speaker->id) : nullptr};
}

void SoundDevices::applyTo(linphone::Call& call) {
    if (!core_) return;
    const auto [microphone, speaker] = pickedDevices();
    if (microphone) call.setInputAudioDevice(microphone);
    if (speaker) call.setOutputAudioDevice(speaker);
}

void SoundDevices::moveCallsToPick() {
    if (!core_ || core_->getCallsNb() == 0) return;
    const auto [microphone, speaker] = pickedDevices();
    if (microphone) core_->setInputAudioDevice(microphone);
    if (speaker) core_->setOutputAudioDevice(speaker);
}

void SoundDevices::choose(const AudioChoice& chosen) {
    if (store_) store_->save(chosen);
    refresh();
    moveCallsToPick();
    // A running call that started with the canceller switches it on or off
    // at once; one that started without it has none to switch on, and gets
    // it from the next call on.
    if (core_ && serverLink_)
        for (const auto& call : core_->getCalls()) call->enableEchoCancellation(chosen.echoCancel);
}

}  // namespace pelex::sip_engine::linphone_rtc
