#!/usr/bin/env bash
# Checks the Debian package the way a user meets it:
#   1. its name, control fields and dependencies (every dependency a real
#      Debian package), and its file list;
#   2. the menu entry (valid, a handler of tel:, sip: and callto: links) and
#      the icon (well-formed SVG);
#   3. unpacked into a scratch root: every program and the control resolve
#      their libraries; without a display, `pelexmsn-host --help` names every
#      setting, `--version` gives the version and the control interface of
#      the host and of the packaged control, and `--check` finds the packaged
#      control, paints it (offscreen) and keeps the settings in the user's own
#      XDG folder; a copy of the control left by an older version of the
#      phone gives way to the packaged control, and the host says so.
# Usage: check_package.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/pelex-softphone_${version}_amd64.deb
work=$(mktemp -d /tmp/pelex-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

echo "-- $deb"
[ -f "$deb" ] || fail "no package $deb (build the target 'package' first)"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = pelex-softphone ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version $(field Version), expected $version"
[ "$(field Architecture)" = amd64 ] || fail "architecture $(field Architecture)"
depends=$(field Depends)
echo "Depends: $depends"
names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/ //g' | sort -u)
for needed in liblinphone++10 libqt6widgets6 libpulse0 libqt6dbus6 libqt6network6 libsqlite3-0; do
    grep -qxF "$needed" <<<"$names" || fail "Depends lacks $needed"
done
# Every name in Depends is a package Debian knows (installed here, since the
# build needs the same libraries).
for name in $names; do
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed" \
        || apt-cache show "$name" >/dev/null 2>&1 || fail "Depends names $name, which Debian does not have"
done

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' > "$work/files"
for f in /usr/bin/pelexmsn-host /usr/bin/pelexreg /usr/bin/pelexcrypt \
         /usr/lib/pelex-softphone/PelexMSN.ocx /usr/lib/pelex-softphone/PelexMSN.inf \
         /usr/lib/pelex-softphone/msgrp2p.xml /usr/lib/pelex-softphone/installer \
         /usr/share/applications/pelex-softphone.desktop \
         /usr/share/icons/hicolor/scalable/apps/pelex-softphone.svg \
         /usr/share/doc/pelex-softphone/copyright; do
    grep -qx "$f" "$work/files" || fail "$f is not in the package"
done
if grep -vE '^/usr/((bin|lib/pelex-softphone|share/(applications|icons|doc))(/|$)|(lib|share)/$|$)' "$work/files"; then
    fail "files outside the package's folders (above)"
fi
if grep -E '_test$|bench|fuzz|/tests?/' "$work/files"; then fail "test programs in the package (above)"; fi

echo "-- unpacked into a scratch root"
root=$work/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/pelex-softphone.desktop"
desktop=$root/usr/share/applications/pelex-softphone.desktop
grep -qx 'Exec=pelexmsn-host %u' "$desktop" || fail "the menu entry does not pass links to the host"
for scheme in tel sip callto; do
    grep -E '^MimeType=' "$desktop" | grep -q "x-scheme-handler/$scheme;" || fail "the menu entry does not open $scheme: links"
done
python3 - "$root/usr/share/icons/hicolor/scalable/apps/pelex-softphone.svg" <<'PY'
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
assert root.tag == "{http://www.w3.org/2000/svg}svg", root.tag
assert root.get("viewBox"), "the icon has no viewBox"
assert len(list(root.iter())) > 10, "the icon draws almost nothing"
PY
for program in "$root/usr/bin/"* "$root/usr/lib/pelex-softphone/PelexMSN.ocx" "$root/usr/lib/pelex-softphone/installer"; do
    if ldd "$program" | grep -q 'not found'; then ldd "$program"; fail "$program misses libraries"; fi
    if readelf -d "$program" | grep -qE 'RPATH|RUNPATH'; then fail "$program keeps a search path of the build"; fi
done

# A user of this machine who never ran the phone.
home=$work/home
mkdir -p "$home"
user_env=(env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 PULSE_SERVER=unix:/nonexistent
          XDG_RUNTIME_DIR="$work")
"${user_env[@]}" "$root/usr/bin/pelexmsn-host" --help > "$work/help.txt"
for setting in $(bash "$source_dir/packaging/settings_in_source.sh" "$source_dir"); do
    grep -q "$setting" "$work/help.txt" || fail "--help does not name $setting"
done

"${user_env[@]}" timeout 60 "$root/usr/bin/pelexmsn-host" --version > "$work/version.txt" \
    || { cat "$work/version.txt"; fail "--version failed"; }
cat "$work/version.txt"
interface=$(sed -n 's/^control interface \([0-9]*\)$/\1/p' "$work/version.txt")
[ -n "$interface" ] || fail "--version does not give the control interface"
grep -qx "pelexmsn-host $version" "$work/version.txt" || fail "--version does not give the version $version"
grep -qx "$root/usr/lib/pelex-softphone/PelexMSN.ocx: control interface $interface" "$work/version.txt" \
    || fail "--version does not give the packaged control's interface $interface"

# Over a terminal without a display, as the user_env is.
check() {
    "${user_env[@]}" timeout 60 "$root/usr/bin/pelexmsn-host" --check > "$work/host.out" 2> "$work/host.err" \
        || { cat "$work/host.out" "$work/host.err"; fail "the installed host did not show the control ($1)"; }
    cat "$work/host.out" "$work/host.err"
    grep -qx "pelexmsn-host: showing the control from $root/usr/lib/pelex-softphone/PelexMSN.ocx" "$work/host.out" \
        || fail "the control was not loaded from the package's folder ($1)"
    grep -qx "pelexmsn-host: control painted" "$work/host.out" || fail "the control was not painted ($1)"
}
check "first start"
[ -f "$home/.config/pelex/registry.sqlite" ] || fail "the settings are not in the user's ~/.config/pelex"
[ "$(stat -c %a "$home/.config/pelex/registry.sqlite")" = 600 ] || fail "the settings store is readable by others"

# The installer's copy of an older version (a control library that speaks an
# older control interface) is passed over for the packaged control.
old=$build/host/tests/pelex_old_control.ocx
[ -f "$old" ] || fail "no $old (build the tests first)"
copies="$home/.local/share/pelex/windows/Downloaded Program Files"
mkdir -p "$copies"
cp "$old" "$copies/PelexMSN.ocx"
check "an older copy in the installer's place"
grep -qF "Passed over the installer's copy: The control library $copies/PelexMSN.ocx speaks control interface" \
    "$work/host.err" || fail "the host did not say which copy it passed over and why"
echo "PASS"
