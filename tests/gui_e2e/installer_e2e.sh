#!/usr/bin/env bash
# The installer puts the control where the host finds it, and takes it away:
#   1. a messenger folder holding only pelexmsn-host: its first run registers
#      the folder and reports that the activity is not installed;
#   2. `installer` run in the build folder copies the activity description
#      into the messenger folder and the control into the downloaded-controls
#      folder; the host then loads the control from there and paints it;
#   3. `installer remove`: the host reports again that it is not installed.
# Usage: installer_e2e.sh BUILD/bin
set -euo pipefail
bin=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/pelex-installer-e2e.XXXXXX)
trap 'rm -rf "$work"' EXIT
export PELEX_REGISTRY=$work/registry.sqlite XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
export QT_QPA_PLATFORM=offscreen PULSE_SERVER=unix:/nonexistent XDG_RUNTIME_DIR=$work
mkdir -p "$work/messenger"
cp "$bin/pelexmsn-host" "$work/messenger/"
host() { timeout 30 "$work/messenger/pelexmsn-host" --no-dbus --check > "$work/host.out" 2> "$work/host.err"; }
fail() { echo "FAIL: $*"; echo "-- stdout"; cat "$work/host.out"; echo "-- stderr"; cat "$work/host.err"; exit 1; }

echo "-- first run, nothing installed"
if host; then fail "the host showed a control before anything was installed"; fi
grep -q "activity is not installed" "$work/host.err" || fail "no clear 'not installed' report"
path=$("$bin/pelexreg" get 'HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\MSNMSGR.EXE' Path)
[ "$path" = "$work/messenger/" ] || fail "the host registered '$path' as its folder"

echo "-- installer"
(cd "$bin" && "$bin/installer") > "$work/installer.out"
cat "$work/installer.out"; echo
windows=$("$bin/pelexreg" get 'HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion' PathName)
[ -f "$work/messenger/msgrp2p.xml" ] || fail "msgrp2p.xml was not copied into the messenger folder"
[ -f "$windows/Downloaded Program Files/PelexMSN.ocx" ] || fail "PelexMSN.ocx was not copied to $windows"
host || fail "the host did not show the installed control"
grep -q "showing the control from $windows/Downloaded Program Files/PelexMSN.ocx" "$work/host.out" \
  || fail "the control was not loaded from the downloaded-controls folder"
grep -q "control painted" "$work/host.out" || fail "the control was not painted"

echo "-- installer remove"
(cd "$bin" && "$bin/installer" remove) > "$work/remove.out"
cat "$work/remove.out"; echo
[ ! -e "$work/messenger/msgrp2p.xml" ] || fail "msgrp2p.xml is still there"
[ ! -e "$windows/Downloaded Program Files/PelexMSN.ocx" ] || fail "PelexMSN.ocx is still there"
if host; then fail "the host still showed a control after removal"; fi
grep -q "activity is not installed" "$work/host.err" || fail "no clear 'not installed' report after removal"
cat "$work/host.err"
echo "PASS"
