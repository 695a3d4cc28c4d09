#pragma once
// A provisioned profile as an account of the stack, and the one way its
// registration is switched on and off.

#include <linphone++/linphone.hh>

#include <memory>

#include "sip_engine/linphone/provisioning_reader.h"

namespace pelex::sip_engine::linphone_rtc {

/// A new account of `core` for `profile` (registrar, outbound proxy when it
/// differs, transports) with its password among the core's credentials; not
/// yet added to the core. Throws RTCError for an address the stack cannot use.
std::shared_ptr<linphone::Account> createAccount(linphone::Core& core, const ProvisionedProfile& profile);

/// Switches the registration of `account` on or off. Switched on, it
/// registers on the core's next turn; already on, it registers again at once
/// (a refresh). Switched off, a registration it has is withdrawn.
void switchRegistration(linphone::Account& account, bool on);

}  // namespace pelex::sip_engine::linphone_rtc
