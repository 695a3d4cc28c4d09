#pragma once
// Where the user's settings store lives, and opening it.

#include <filesystem>

#include "settings/store.h"

namespace pelex::settings {

/// The store file: $PELEX_REGISTRY when set and not empty, otherwise
/// $XDG_CONFIG_HOME/pelex/registry.sqlite (XDG_CONFIG_HOME defaulting to
/// ~/.config). Throws StoreError when neither that nor $HOME is set.
std::filesystem::path userStorePath();

/// The folder that stands for the Windows folder (where downloaded controls
/// go): $XDG_DATA_HOME/pelex/windows, XDG_DATA_HOME defaulting to
/// ~/.local/share. Throws StoreError when neither that nor $HOME is set.
std::filesystem::path windowsFolder();

/// The sub-key under HKEY_LOCAL_MACHINE that names the Windows folder in its
/// value "PathName".
inline constexpr const char* kWindowsNtCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

/// Opens the user's store at userStorePath(). A store created by this call
/// starts with "PathName" = windowsFolder() (a string with its terminating
/// zero), and that folder is created (mode 0700).
Store openUserStore();

}  // namespace pelex::settings
