#pragma once
// The client's sound hooks, in one place: what the stack plays in place of a
// microphone, the devices each call starts on, the stack's device list
// reloaded once the last call is gone when a device came or went during it,
// and the audio tuning dialog.
//
// Each call starts on the devices in place now (the desktop's default may
// have changed), as the sound server's picture has them (sound::SoundServer:
// the window's thread never waits on the server). In file mode
// (LinphoneOptions::audioFromFiles) calls send a generated tone and no
// device is touched.

#include <linphone++/linphone.hh>

#include <memory>

#include "sip_engine/linphone/linphone_client.h"
#include "sip_engine/rtc/rtc_codes.h"

namespace pelex::sip_engine::linphone_rtc {

class CallSound {
public:
    explicit CallSound(const LinphoneOptions& options);

    /// Before the core starts: the file sent in place of a microphone (the
    /// test tone in file mode, else silence for a machine without one).
    void preparePlayFile(linphone::Core& core) const;
    /// Once the core runs: picks the devices for the first call.
    void start(const std::shared_ptr<linphone::Core>& core);
    /// A call is about to be placed: it takes the devices in place now.
    void beforeCall();
    /// The stack's call `call` moved to `state`.
    void onCallState(linphone::Call& call, linphone::Call::State state);
    /// On every turn: once the last call is gone, takes in a device that
    /// came or went during it.
    void probeIfDue(linphone::Core& core);
    /// Opens the audio tuning dialog over `parent` and returns when it closes.
    /// Throws RTCError without a running core or a user interface. The dialog
    /// holds the devices and the core while it is open.
    void runTuningWizard(const std::shared_ptr<linphone::Core>& core, rtc::WindowHandle parent);
    /// The core is going: lets go of the devices (a dialog still open keeps
    /// only the user's choice).
    void release();

private:
    LinphoneOptions options_;
    std::shared_ptr<SoundDevices> devices_;
    bool probeDue_ = false;
};

}  // namespace pelex::sip_engine::linphone_rtc
