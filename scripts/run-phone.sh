#!/usr/bin/env bash
# Runs the phone against a local demo service on this machine:
#   Kamailio and an answering peer (tests/rig/rig.sh), the reference account
#   server with a demo account, and pelexmsn-host showing the control with the
#   demo account's number and password ready in the boxes.
# With a display the phone opens in a window (call 1001 to reach the peer,
# which answers by itself with a short tune) and plays through the desktop's
# sound server ($PULSE_SERVER, else the session's own). Without one ($DISPLAY and $WAYLAND_DISPLAY empty)
# a scripted tour runs offscreen: sign in, call the peer, send tones, hang
# up, sign out, printing each text the phone shows.
# Every demo service stops when this script ends. Demo files go to a fresh
# folder under /tmp (or $PELEX_DEMO_DIR); nothing is written to your own
# settings store.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" \
  --target pelexmsn-host PelexMSN corvo-account-server pelexreg pelexcrypt
bin=$root/build/default/bin

demo=${PELEX_DEMO_DIR:-$(mktemp -d /tmp/pelex-demo.XXXXXX)}
mkdir -p "$demo"
export PELEX_REGISTRY=$demo/registry.sqlite
export XDG_DATA_HOME=$demo/data XDG_CONFIG_HOME=$demo/config
export PELEX_RIG_DIR=$demo/rig
# The phone registers with its SIP server on the standard port 5060.
export PELEX_RIG_BASE_PORT=5060
# Sound: with a display the phone uses the desktop's own sound server (found
# before the runtime folder is replaced below), so the person at the desktop
# hears the peer's tune; the scripted tour without a display stays silent.
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    if [ -z "${PULSE_SERVER:-}" ] && [ -S "${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/pulse/native" ]; then
        export PULSE_SERVER="unix:${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/pulse/native"
    fi
    if [ -n "${PULSE_SERVER:-}" ] && PULSE_SERVER=$PULSE_SERVER pactl info >/dev/null 2>&1; then
        echo "run-phone: sound through the desktop's sound server ($PULSE_SERVER)"
    else
        echo "run-phone: no desktop sound server found: calls will be silent (the phone says so)"
    fi
fi
export XDG_RUNTIME_DIR=$demo/runtime
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
export PULSE_SERVER=${PULSE_SERVER:-unix:/nonexistent}
# The answering peer plays a short tune of our own, over and over.
export PELEX_RIG_PEER_VOICE=melody
account_pid=

stop_demo() {
    trap - EXIT INT TERM
    set +e
    if [ -n "$account_pid" ]; then
        kill "$account_pid" 2>/dev/null
        wait "$account_pid" 2>/dev/null
    fi
    bash tests/rig/rig.sh stop >/dev/null 2>&1
    echo "run-phone: demo services stopped (files in $demo)"
}
trap stop_demo EXIT
trap 'exit 130' INT TERM

echo "run-phone: starting Kamailio and the answering peer"
bash tests/rig/rig.sh start > "$demo/rig.out"
# shellcheck disable=SC1091
. "$PELEX_RIG_DIR/rig.env"

number=$PELEX_RIG_PHONE_USER
password=demo$number
cat > "$demo/accounts.json" <<JSON
{"$number": {"password": "$password", "sip_password": "$PELEX_RIG_PHONE_PASSWORD", "expired": false}}
JSON
"$bin/corvo-account-server" --listen 127.0.0.1:0 --accounts "$demo/accounts.json" \
  --sip-server 127.0.0.1 --sip-port "$PELEX_RIG_SIP_PORT" > "$demo/account-server.out" 2> "$demo/account-server.log" &
account_pid=$!
for _ in $(seq 100); do
    grep -q '^listening on ' "$demo/account-server.out" 2>/dev/null && break
    kill -0 "$account_pid" 2>/dev/null || { cat "$demo/account-server.log" >&2; exit 1; }
    sleep 0.1
done
listening=$(sed -n 's/^listening on //p' "$demo/account-server.out")
[ -n "$listening" ] || { echo "run-phone: the account server did not start" >&2; exit 1; }
export PELEX_ACCOUNT_SERVER=$listening
export PELEX_WEB_SITE=${PELEX_WEB_SITE:-http://localhost:8080}
echo "run-phone: account server on $listening; demo account $number, password $password"

# The saved profile and options, in the form the control loads at start-up.
option='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\VOIP\Option'
profile='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\VOIP\Profile'
"$bin/pelexreg" set "$profile" UName "***$("$bin/pelexcrypt" scramble "$number")\\\\\\" >/dev/null
"$bin/pelexreg" set "$profile" Pwd "***$("$bin/pelexcrypt" scramble "$password")\\\\\\" >/dev/null
"$bin/pelexreg" set "$option" ALogin 0 >/dev/null
"$bin/pelexreg" set "$option" SProfile 1 >/dev/null
"$bin/pelexreg" set "$option" New 1 >/dev/null
"$bin/pelexmsn-host" --register "$bin/PelexMSN.ocx"
# The host finds the control through the activity description beside it;
# without one it is told where the library is.
host_args=()
[ -f "$bin/msgrp2p.xml" ] || host_args=(--library "$bin/PelexMSN.ocx")

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run-phone: no display; running the scripted tour offscreen (calls 1001)"
    QT_QPA_PLATFORM=offscreen "$bin/pelexmsn-host" "${host_args[@]}" --no-dbus --tour 1001
else
    echo "run-phone: opening the phone; dial 1001 to call the answering peer"
    if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && command -v dbus-run-session >/dev/null; then
        dbus-run-session -- "$bin/pelexmsn-host" "${host_args[@]}"
    else
        "$bin/pelexmsn-host" "${host_args[@]}"
    fi
fi
