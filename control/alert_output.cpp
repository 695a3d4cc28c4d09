#include "control/alert_output.h"

#include "control/wave_sounds.h"

namespace pelex::control {

using platform::SoundUse;

ServerAlertOutput::ServerAlertOutput(std::shared_ptr<sound::SoundServer> server,
                                     std::shared_ptr<sip_engine::AudioChoiceStore> choices)
    : server_(server), choices_(std::move(choices)), player_(std::move(server)) {}

sound::StreamTags ServerAlertOutput::tagsFor(SoundUse use) {
    if (use == SoundUse::Ring) return {"event", "Incoming call", "phone-incoming-call"};
    return {"phone", "Calling", "phone-outgoing-calling"};
}

std::string ServerAlertOutput::deviceFor(SoundUse use) const {
    if (!choices_) return {};
    const auto choice = choices_->load();
    const std::string& id = use == SoundUse::Ring ? choice.ring : choice.speaker;
    if (id.empty()) return {};
    const auto state = server_->state();
    const auto* sink = state.speakerDescribed(sip_engine::deviceDescriptionOfId(id));
    return sink ? sink->name : std::string();
}

void ServerAlertOutput::playAsync(std::span<const std::byte> image, SoundUse use) {
    // A new sound cuts the one still playing, also when it cannot be played.
    const auto wave = parsePcmWave(image);
    if (!wave || (wave->bitsPerSample != 8 && wave->bitsPerSample != 16)) return player_.stop();
    auto sound = std::make_shared<const sound::PcmSound>(sound::PcmSound{
        wave->channels, wave->sampleRate, wave->bitsPerSample, {wave->samples.begin(), wave->samples.end()}});
    player_.play(std::move(sound), tagsFor(use), deviceFor(use));
}

void ServerAlertOutput::stop() { player_.stop(); }

}  // namespace pelex::control
