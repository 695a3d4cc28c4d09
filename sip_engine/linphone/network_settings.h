#pragma once
// The stack's settings for the network a phone really sits on: behind a home
// router that rewrites addresses and forgets idle mappings, on links that
// come and go, with packets lost and late. Each value is chosen from what
// liblinphone 5.1, belle-sip and oRTP do with it (see network_settings.cpp).

#include <linphone++/linphone.hh>

namespace pelex::sip_engine::linphone_rtc {

/// Keep-alives on the SIP flow, in milliseconds.
inline constexpr int kKeepAliveMs = 20000;
/// Most the adaptive jitter buffer may hold, in milliseconds.
inline constexpr int kJitterBufferMaxMs = 200;

/// Writes the network settings into `config`, before the core is made from it.
/// `networkWatched`: the phone watches the network itself (NetworkFollower),
/// so the stack's own five-second poll is off.
void applyNetworkSettings(linphone::Config& config, bool networkWatched);

}  // namespace pelex::sip_engine::linphone_rtc
