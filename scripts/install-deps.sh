#!/usr/bin/env bash
# Installs every Debian package the phone, its tools and its tests need.
# Idempotent: packages already present are skipped. Run as root.
set -euo pipefail

packages=(
  # build, and the Debian package (CPack needs `file` and dpkg-shlibdeps)
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev file dpkg-dev desktop-file-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  # libraries the phone stands on
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libasound2-dev
  liblinphone-dev libsqlite3-dev libpulse-dev
  # test-only: a second Skipjack
  libcrypto++-dev
  # real peers and tools for end-to-end tests
  kamailio sipsak baresip tshark
  # a private sound server for sound tests and the demo; the ALSA plugin that
  # lets baresip play and record through it
  pulseaudio pulseaudio-utils libasound2-plugins
  # the same tests on PipeWire's PulseAudio server, as Debian's desktops run it
  pipewire pipewire-pulse wireplumber
  # desktop, accessibility and D-Bus for GUI tests and the demo
  xvfb xauth xdotool x11-utils imagemagick dbus dbus-x11 at-spi2-core python3-pyatspi
  # stand-ins for the desktop's notification server and tray in GUI tests
  python3-dbus python3-gi
  qt6-qpa-plugins libqt6dbus6 fonts-dejavu-core
  # the network rig: namespaces, a masquerading router, loss (nftables),
  # delay (an NFQUEUE program of ours, through iptables), and the far side's
  # media relay
  iproute2 nftables iptables conntrack libnetfilter-queue-dev rtpengine-daemon
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}" >&2
  echo "install-deps: run as root to install them" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
# tshark asks whether non-root users may capture; answer once, quietly.
echo "wireshark-common wireshark-common/install-setuid boolean false" | debconf-set-selections
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
# Debian's kamailio service would take :5060; tests start their own instance.
# So would rtpengine's on its control port.
if command -v systemctl >/dev/null 2>&1 && systemctl is-system-running >/dev/null 2>&1; then
  systemctl disable --now kamailio >/dev/null 2>&1 || true
  systemctl disable --now rtpengine-daemon >/dev/null 2>&1 || true
fi
echo "install-deps: installed ${missing[*]}"
