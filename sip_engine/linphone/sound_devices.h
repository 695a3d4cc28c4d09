#pragma once
// The phone's sound devices on a running liblinphone core: which ones the
// next call uses, switching a running call, and what the user is told about
// missing devices.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sip_engine/linphone/audio_devices.h"

namespace linphone {
class AudioDevice;
class Call;
class Core;
}  // namespace linphone

namespace pelex::sip_engine::linphone_rtc {

/// Receives a note for the user about the sound devices; an empty text
/// withdraws the last note.
using SoundNoteHandler = std::function<void(const std::u16string& text)>;

class SoundDevices {
public:
    /// `store` may be null (nothing is kept between runs), `note` empty.
    SoundDevices(std::shared_ptr<linphone::Core> core, std::shared_ptr<AudioChoiceStore> store, SoundNoteHandler note);

    /// Asks the sound server and the stack again which devices there are and
    /// makes the picked ones the stack's defaults for the next call. With
    /// `detectAgain` (only while no call runs) the stack probes its devices
    /// anew. A note goes to the user when what is missing changed.
    void refresh(bool detectAgain);
    /// The devices offered to the user, as of the last refresh.
    const std::vector<SoundDevice>& offered() const { return offered_; }
    /// The devices in use, as of the last refresh.
    const DevicePick& pick() const { return pick_; }
    /// The user's choice (from the store).
    AudioChoice choice() const;
    /// Keeps `choice` in the store, makes it the stack's defaults and moves a
    /// running call over to it.
    void choose(const AudioChoice& choice);
    /// Puts `call` (one that was just offered, or running) on the picked devices.
    void applyTo(linphone::Call& call);
    /// The stack's device of `id`, or null.
    std::shared_ptr<linphone::AudioDevice> device(const std::string& id) const;

private:
    struct Devices {
        std::shared_ptr<linphone::AudioDevice> microphone, speaker;
    };
    /// The stack's devices for the current pick (null where none).
    Devices pickedDevices() const;

    std::shared_ptr<linphone::Core> core_;
    std::shared_ptr<AudioChoiceStore> store_;
    SoundNoteHandler note_;
    SoundServerInfo server_;
    std::vector<SoundDevice> offered_;
    DevicePick pick_;
    std::u16string lastNote_;
};

}  // namespace pelex::sip_engine::linphone_rtc
