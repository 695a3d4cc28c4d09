#pragma once
// The installer: puts the control, its setup description and the activity
// description where the host finds them, or removes those copies.

#include <ostream>
#include <string>

#include "settings/store.h"

namespace pelex::installer {

/// The longest path the installer builds (its buffers hold 256 bytes,
/// terminating zero included), counted in Windows-1252 bytes.
inline constexpr std::size_t kMaxPathLength = 255;

/// The host's program folder is the value "Path" of this key under
/// HKEY_LOCAL_MACHINE; the Windows folder is "PathName" of the second one.
inline constexpr const char* kMessengerAppPaths =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\MSNMSGR.EXE";
inline constexpr const char* kWindowsCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

/// True when the whole argument text selects remove mode: exactly "remove".
bool isRemoveMode(const std::string& argumentText);

/// Runs both steps against `store`, copying from (or deleting the copies of)
/// the files in the current folder, and prints the progress texts to `out`.
/// Never throws for a missing key, value or file.
void run(settings::Store& store, bool remove, std::ostream& out);

}  // namespace pelex::installer
