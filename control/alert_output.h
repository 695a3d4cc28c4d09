#pragma once
// The control's two alert sounds through the desktop's sound server, on the
// phone's one connection to it (sound::AlertPlayer):
//   the ring      on the ring device the user chose ("AudioRing"), else the
//                 desktop's default output, as the desktop's alert sounds
//                 are: a headset lying on the desk does not keep the user
//                 from hearing a call. Tagged as an event.
//   the ring-back on the call's speaker (the chosen "AudioOut", else the
//                 default): it belongs to the call. Tagged as a phone call,
//                 so the desktop treats it as the call it starts (a Bluetooth
//                 headset takes its call profile, music is lowered) before
//                 the called party answers.
// playAsync and stop return at once whatever the server does.

#include <memory>

#include "platform/audio_output.h"
#include "sip_engine/audio_choice.h"
#include "sound/alert_player.h"

namespace pelex::control {

class ServerAlertOutput : public platform::AudioOutput {
public:
    /// `choices` may be null (the desktop's defaults).
    ServerAlertOutput(std::shared_ptr<sound::SoundServer> server, std::shared_ptr<sip_engine::AudioChoiceStore> choices);

    void playAsync(std::span<const std::byte> wave, platform::SoundUse use) override;
    void stop() override;

    /// How a sound for `use` presents itself to the server.
    static sound::StreamTags tagsFor(platform::SoundUse use);

private:
    /// The server's name of the sink for `use`, or empty for its default.
    std::string deviceFor(platform::SoundUse use) const;

    std::shared_ptr<sound::SoundServer> server_;
    std::shared_ptr<sip_engine::AudioChoiceStore> choices_;
    sound::AlertPlayer player_;
};

}  // namespace pelex::control
