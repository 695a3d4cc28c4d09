#pragma once
// The user's settings store seen through RegistrationStore.
//
// Values written here are string values (type 1, with a terminating zero)
// whose bytes are taken as they are: they hold file-system paths, which the
// installer and the host use as byte strings, so they are not re-encoded.

#include <memory>

#include "control/library/registration_store.h"
#include "settings/store.h"

namespace pelex::library {

/// Opens the user's store (PELEX_REGISTRY or the per-user file).
/// Throws settings::StoreError when it cannot be opened.
std::unique_ptr<RegistrationStore> openSettingsStore();

/// A RegistrationStore over an already open store (used by tests with an
/// in-memory store). `store` must outlive the result.
std::unique_ptr<RegistrationStore> viewOf(settings::Store& store);

}  // namespace pelex::library
