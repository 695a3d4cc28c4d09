#pragma once
// What the control library writes into the settings store when it registers
// itself, and removes when it unregisters: the control class with its library
// path, threading model, version and programmatic id; the type library; both
// interfaces.

#include <string>
#include <vector>

#include "control/library/registration_store.h"

namespace pelex::library {

/// The identifiers and names a registration is made of.
struct ControlIdentity {
    std::string class_id;      ///< braced GUID text of the control class
    std::string typelib_id;    ///< braced GUID text of the type library
    std::string interface_id;  ///< the automation interface _Pelex_MSN
    std::string events_id;     ///< the event source interface __Pelex_MSN
    std::string file_version;  ///< "2.0.0.2"
};

/// The identity this build of the library carries.
const ControlIdentity& builtInIdentity();

/// One string value to write: key path, value name ("" = default), text.
struct RegistrationValue {
    std::string key_path;
    std::string name;
    std::string value;
};

/// Every value of the registration of `identity` for the library at `library_path`.
std::vector<RegistrationValue> registrationValues(const ControlIdentity& identity,
                                                  const std::string& library_path);

/// The keys unregistration removes (each with everything under it).
std::vector<std::string> registrationKeys(const ControlIdentity& identity);

/// Path of the key whose default value names the library of a class id.
std::string inprocServerKey(const std::string& class_id);

/// Writes the registration; returns false if any write failed (what was
/// written stays; a later unregistration removes it).
bool registerControl(RegistrationStore& store, const ControlIdentity& identity,
                     const std::string& library_path);

/// Removes the registration; returns false if any removal failed.
bool unregisterControl(RegistrationStore& store, const ControlIdentity& identity);

/// True when two braced GUID texts name the same id (case-insensitive).
bool sameClassId(const std::string& a, const std::string& b);

}  // namespace pelex::library
