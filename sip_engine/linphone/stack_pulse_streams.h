#pragma once

#include <mediastreamer2/msfilter.h>

#include <string>

namespace pelex::sip_engine::linphone_rtc {

// The call's microphone and speaker on the sound server, as the stack's
// filters: made from these descriptions (ms_factory_create_filter_from_desc),
// then given the server's name of their device (empty: the server's default).
// Each opens its own connection when the call's sound starts, so a server
// that restarted since the devices were listed is reached again.
MSFilterDesc* stackPulseCaptureDesc();
MSFilterDesc* stackPulsePlaybackDesc();
void setStackPulseDevice(MSFilter* filter, const std::string& device);

}  // namespace pelex::sip_engine::linphone_rtc
