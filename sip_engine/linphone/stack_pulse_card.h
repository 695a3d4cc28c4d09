#pragma once

#include <string>

struct _LinphoneCore;

namespace pelex::sip_engine::linphone_rtc {

// The stack's sound devices on the sound server, in place of the stack's own
// PulseAudio module. Device names and ids stay the same ("PulseAudio: " and
// the server's description), so stored choices keep working. What differs
// is how the call's streams are opened (stack_pulse_streams.h): with buffer
// sizes chosen for the server, so that the speaker does not run dry and move
// the echo against what the canceller has learnt, and each on a connection
// of its own, so a server that restarted is reached again.
// Replaces the stack's module in the core's sound-card manager and lists
// the server's devices again; a no-op when already done.
void installStackPulseCard(_LinphoneCore* core);

}  // namespace pelex::sip_engine::linphone_rtc
