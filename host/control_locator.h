#pragma once
// Finds the soft-phone control the way the messenger does: the activity
// description in the host's own folder names the control's class id and file;
// the library is the one registered for that class id, or else the copy in the
// downloaded-controls folder under the Windows folder ("PathName").
//
// An installed package adds one more place, its own folder beside the host
// (for example /usr/lib/pelex-softphone for /usr/bin/pelexmsn-host): the
// activity description is read from there when the host's folder has none,
// and the control there is the last choice, after the registration and the
// installer's copy. Every copy that exists is a candidate, so that a copy
// the host cannot use (one left behind by an older version) gives way to
// the next.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "control/library/registration_store.h"

namespace pelex::host {

inline constexpr const char* kActivityFile = "msgrp2p.xml";
inline constexpr const char* kControlFile = "PelexMSN.ocx";
inline constexpr const char* kAppPathsKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\MSNMSGR.EXE";
inline constexpr const char* kWindowsKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

struct ControlLocation {
    std::filesystem::path library;
    std::string class_id;
    std::string kind;  ///< which copy, in words: "the registered control", "the installer's copy", "the packaged control"
};

/// Every copy of the control that exists, best first (each file once), or
/// none with a sentence for the user in `error` that says why the activity
/// cannot be started.
std::vector<ControlLocation> locateControls(library::RegistrationStore& store,
                                            const std::filesystem::path& host_folder, std::string& error,
                                            const std::filesystem::path& packaged_folder = {});

/// The downloaded-controls folder: "<PathName>/Downloaded Program Files", or
/// nothing when the store has no PathName.
std::optional<std::filesystem::path> downloadedControlsFolder(library::RegistrationStore& store);

/// Registers `host_folder` as the messenger's program folder ("Path" under
/// App Paths, with a trailing "/"), unless it is registered already.
/// Returns false when the store could not be written.
bool registerHostFolder(library::RegistrationStore& store, const std::filesystem::path& host_folder);

}  // namespace pelex::host
