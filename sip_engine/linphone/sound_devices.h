#pragma once
// The phone's sound devices on a running liblinphone core: which ones the
// next call uses, switching a running call, reloading the stack's device
// list when a device or card comes or goes, and what the user is told about
// missing devices. Everything it knows of the sound server comes from the
// server's picture (sound::SoundServer), so nothing here waits on the server.

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sip_engine/linphone/audio_devices.h"
#include "sound/sound_server.h"

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
    /// `server` null: the stack plays and records files (a test switch) and
    /// the desktop's devices are left alone. `store` may be null (nothing is
    /// kept between runs), `note` empty. Follows the server's changes from
    /// now on, on the calling thread.
    SoundDevices(std::shared_ptr<linphone::Core> core, std::shared_ptr<sound::SoundServer> server,
                 std::shared_ptr<AudioChoiceStore> store, SoundNoteHandler note);
    ~SoundDevices();

    /// Takes the server's latest picture and makes the picked devices the
    /// stack's defaults for the next call; reloads the stack's device list
    /// first when it is older than the picture and no call runs. Calls start
    /// without sound devices while the server does not answer (the stack
    /// would wait on it inside each call's start and end), and while the
    /// stack's list is from a server that went away (the stack fails on
    /// those devices). The next call cancels echo as the user chose. A note
    /// goes to the user when what is missing changed.
    void refresh();
    /// Reloads the stack's device list now if a device or card came or went
    /// since the last reload (only while no call runs and the server answers
    /// or is gone: the stack's reload waits on a running server), then
    /// refreshes. Returns whether it did.
    bool reloadIfDue();
    /// Reloads the stack's device list now (no call may run), then refreshes.
    void reload();
    /// The devices offered to the user, as of the last refresh.
    const std::vector<SoundDevice>& offered() const { return offered_; }
    /// The devices in use, as of the last refresh.
    const DevicePick& pick() const { return pick_; }
    /// The server's picture of the last refresh.
    const sound::ServerState& server() const { return server_; }
    /// The user's choice (from the store).
    AudioChoice choice() const;
    /// Keeps `choice` in the store, makes it the stack's defaults and moves a
    /// running call over to it (its echo cancellation too, where the call
    /// started with a canceller).
    void choose(const AudioChoice& choice);
    /// Puts `call` (one that was just offered, or running) on the picked devices.
    void applyTo(linphone::Call& call);
    /// The stack's device of `id`, or null.
    std::shared_ptr<linphone::AudioDevice> device(const std::string& id) const;
    /// The core is stopping: lets go of it and of the server. From then on
    /// choose() only keeps the choice, and the rest does nothing.
    void detach();
    /// Whether the core is still there (see detach).
    bool attached() const { return core_ != nullptr; }

private:
    struct Devices {
        std::shared_ptr<linphone::AudioDevice> microphone, speaker;
    };
    /// The stack's devices for the current pick (null where none).
    Devices pickedDevices() const;
    void moveCallsToPick();

    std::shared_ptr<linphone::Core> core_;
    std::shared_ptr<sound::SoundServer> serverLink_;
    std::shared_ptr<AudioChoiceStore> store_;
    SoundNoteHandler note_;
    QObject receiver_;  // the server's signals arrive here while this lives
    sound::ServerState server_;
    sound::ServerState reloadedFor_;  // the server's picture when the stack last looked
    bool reloadDue_ = false;
    bool silent_ = false;  // calls start without sound devices (server not answering)
    std::vector<SoundDevice> offered_;
    DevicePick pick_;
    std::u16string lastNote_;
};

}  // namespace pelex::sip_engine::linphone_rtc
