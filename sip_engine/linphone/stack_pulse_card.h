#pragma once

#include <string>

struct _LinphoneCore;

namespace pelex::sip_engine::linphone_rtc {

// The stack's sound devices on the sound server, in place of the stack's own
// PulseAudio module. Device names and ids stay the same ("PulseAudio: " and
// the server's description), so stored choices keep working. What differs
// is how the call's streams are opened (StackPulseCapture, StackPulsePlayback):
// the microphone delivers every 10 ms, and the speaker keeps 60 ms queued at
// the server and asks for it in 10 ms steps. The stack's module asks for one
// 20 ms block both ways; its speaker then ran dry whenever a block came a
// little late, each time moving the echo against what the canceller had
// learnt, and the echo came back for a second or more.
// Replaces the stack's module in the core's sound-card manager and lists
// the server's devices again; a no-op when already done.
void installStackPulseCard(_LinphoneCore* core);

}  // namespace pelex::sip_engine::linphone_rtc
