#pragma once
// Stopping a liblinphone core without holding up the user interface.
//
// The stack's own blocking stop turns the core and sleeps 50 ms at a time
// until every call and transaction has wound down (up to a second). Here the
// core is stopped asynchronously and turned from a timer of the event loop
// until it is off, then released. Should the application end first, the
// rest of the stop is done at once as the application object goes.

#include <linphone++/linphone.hh>

#include <memory>

namespace pelex::sip_engine::linphone_rtc {

/// Takes `core` (its listeners already removed, nothing else holding its
/// calls or accounts) and stops and releases it in the background. Without a
/// running Qt application it is stopped before this returns.
void stopInBackground(std::shared_ptr<linphone::Core> core);

}  // namespace pelex::sip_engine::linphone_rtc
