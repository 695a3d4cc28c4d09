#pragma once
// The stack's configuration: a core built from an in-memory configuration
// (no configuration file, no databases: nothing of the account, nor its
// password, reaches a file) with the phone's settings.

#include <linphone++/linphone.hh>

#include <memory>

#include "sip_engine/linphone/linphone_client.h"

namespace pelex::sip_engine::linphone_rtc {

/// A new core for `options`, not yet started, listening for SIP on local
/// UDP port `sipPort` (-1: any free port), with its files in options.dataDir
/// and its own turning (auto-iterate) off, set up for the network a phone
/// sits on (see network_settings.h; `networkWatched`: the phone tells the
/// stack about the network itself). Throws RTCError when the stack cannot
/// make one.
std::shared_ptr<linphone::Core> createStackCore(const LinphoneOptions& options, int sipPort, bool networkWatched);

}  // namespace pelex::sip_engine::linphone_rtc
