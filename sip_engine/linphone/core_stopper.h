#pragma once
// Stopping a liblinphone core without holding up the user interface.
//
// The stack's own stop turns the core and sleeps between turns, 50 ms at a
// time while calls wind down and 100 ms at a time while its accounts
// unregister (at least once whenever it still has an account): up to a
// second or two with the window frozen. Here the accounts are unregistered
// and removed first, then the core is stopped asynchronously, all turned
// from a timer of the event loop, and released once it is off. Should the
// application end first, the rest of the stop is done at once as the
// application object goes.

#include <linphone++/linphone.hh>

#include <functional>
#include <memory>

namespace pelex::sip_engine::linphone_rtc {

/// Takes `core` (its listeners already removed, nothing else holding its
/// calls or accounts) and stops and releases it in the background. Without a
/// running Qt application it is stopped before this returns.
void stopInBackground(std::shared_ptr<linphone::Core> core);

/// True while a core of this process that is stopping in the background
/// still holds local UDP port `port`.
bool portHeldByStoppingCore(int port);
/// Runs `released` on this thread once no core stopping in the background
/// holds local UDP port `port` any more (at once when none does).
void whenPortReleased(int port, std::function<void()> released);

/// True while an account of `core` is registered or registering.
bool anyAccountRegistered(linphone::Core& core);

/// How many cores are still being stopped in the background (so a caller
/// that is about to take the servers away can wait for them).
int coresStopping();

}  // namespace pelex::sip_engine::linphone_rtc
