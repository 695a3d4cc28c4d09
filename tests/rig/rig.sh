#!/usr/bin/env bash
# The loopback SIP rig: Kamailio as registrar and proxy, and baresip as an
# auto-answering peer (users 1001 and 1002), all on 127.0.0.1.
#
#   rig.sh start|stop|status|stop-registrar|start-registrar [--dir DIR]
#
# Settings (environment; the defaults stay clear of a demo on 5060):
#   PELEX_RIG_DIR             state folder (configs, logs, pids)  default /tmp/pelex-rig-$UID
#   PELEX_RIG_BASE_PORT       first of 30 ports the rig uses, or "auto" for a free
#                             block (several rigs on one machine)       default 5070
#     base      Kamailio UDP port, wrong password -> 401
#     base+1    Kamailio UDP port, wrong password -> 403
#     base+2    baresip SIP port (UDP and TCP)
#     base+3    baresip SIP over TLS (it takes the SIP port + 1)
#     base+4    baresip ctrl_tcp port (JSON netstrings)
#     base+10 to base+29   baresip RTP ports
#   PELEX_RIG_PEER_ANSWER     answer mode of 1001: auto|manual            default auto
#   PELEX_RIG_REG_EXPIRES     longest registration lifetime Kamailio grants, in
#                             seconds (short ones test refreshing)     default 3600
#   PELEX_RIG_OWNER_PID       when set, the rig stops itself once that process is gone
#                             (a test that crashes leaves nothing running)
#
# `start` prints the settings as KEY=VALUE lines and writes them to
# DIR/rig.env; it returns when both peer users are registered. Users and
# passwords: users.txt beside this script (1000 is left for the phone).
# `stop` ends every process `start` began (each runs in its own session).
# `stop-registrar` and `start-registrar` stop and start Kamailio alone (its
# registrations are in memory, so a restart forgets them), for tests of a
# SIP server that goes away and comes back.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cmd=${1:-status}
[ $# -gt 0 ] && shift
dir=${PELEX_RIG_DIR:-/tmp/pelex-rig-$(id -u)}
while [ $# -gt 0 ]; do
    case $1 in
        --dir) dir=$2; shift 2 ;;
        *) echo "rig.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
base_port=${PELEX_RIG_BASE_PORT:-5070}
answer_mode=${PELEX_RIG_PEER_ANSWER:-auto}
reg_expires=${PELEX_RIG_REG_EXPIRES:-3600}
reg_min_expires=$(( reg_expires < 60 ? reg_expires : 60 ))

free_base() {  # a random block of 30 ports, all free for UDP and TCP
    python3 - <<'PY'
import random, socket
def free(port):
    for kind in (socket.SOCK_DGRAM, socket.SOCK_STREAM):
        s = socket.socket(socket.AF_INET, kind)
        try:
            s.bind(("127.0.0.1", port))
        except OSError:
            return False
        finally:
            s.close()
    return True
for _ in range(200):
    base = random.randrange(20000, 29970, 30)
    if all(free(base + i) for i in range(30)):
        print(base)
        break
PY
}

set_ports() {
    [ "$base_port" = auto ] && base_port=$(free_base)
    [ -n "$base_port" ] || { echo "rig.sh: no free ports" >&2; exit 1; }
    sip_port=$base_port
    reject_port=$((base_port + 1))
    peer_port=$((base_port + 2))
    ctrl_port=$((base_port + 4))
    rtp_first=$((base_port + 10))
    rtp_last=$((base_port + 29))
}

password_of() { awk -v u="$1" '$1 == u { print $2 }' "$here/users.txt"; }

running() { [ -f "$dir/$1.pid" ] && kill -0 "$(cat "$dir/$1.pid")" 2>/dev/null; }

stop_one() {
    local name=$1 pid
    [ -f "$dir/$name.pid" ] || return 0
    pid=$(cat "$dir/$name.pid")
    # Each process leads its own session: end the whole group, politely for
    # half a second (a test rig keeps no state worth a longer wait).
    kill -TERM -- "-$pid" 2>/dev/null || true
    for _ in $(seq 5); do
        kill -0 -- "-$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL -- "-$pid" 2>/dev/null || true
    rm -f "$dir/$name.pid"
}

render() {  # template output
    sed -e "s|@STATE_DIR@|$dir|g" -e "s|@SIP_PORT@|$sip_port|g" -e "s|@REJECT_PORT@|$reject_port|g" \
        -e "s|@PEER_PORT@|$peer_port|g" -e "s|@CTRL_PORT@|$ctrl_port|g" \
        -e "s|@ANSWER_MODE@|$answer_mode|g" -e "s|@RTP_PORTS@|$rtp_first-$rtp_last|g" \
        -e "s|@REG_EXPIRES@|$reg_expires|g" -e "s|@REG_MIN_EXPIRES@|$reg_min_expires|g" \
        -e "s|@PW_1001@|$(password_of 1001)|g" -e "s|@PW_1002@|$(password_of 1002)|g" "$1" > "$2"
}

write_users() {
    mkdir -p "$dir/db"
    printf 'table_name(str) table_version(int)\nsubscriber:7\n' > "$dir/db/version"
    {
        echo 'id(int,auto) username(str) domain(str,null) password(str) ha1(str,null) ha1b(str,null)'
        awk '!/^#/ && NF == 2 { n++; printf "%d:%s:127.0.0.1:%s::\n", n, $1, $2 }' "$here/users.txt"
    } > "$dir/db/subscriber"
}

write_tone() {  # a 1 kHz tone, 8 kHz 16-bit mono, 10 s: what the peer sends
    python3 - "$1" <<'PY'
import math, struct, sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
    w.writeframes(b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * 1000 * i / 8000)))
                           for i in range(80000)))
PY
}

wait_for() {  # seconds description command...
    local seconds=$1 what=$2
    shift 2
    for _ in $(seq $((seconds * 10))); do
        if "$@" >/dev/null 2>&1; then return 0; fi
        sleep 0.1
    done
    echo "rig.sh: timed out waiting for $what (logs in $dir)" >&2
    return 1
}

registered() {
    local dump
    dump=$(kamcmd -s "unix:$dir/kamailio.ctl" ul.dump 2>/dev/null) || return 1
    grep -q 'AoR: 1001' <<<"$dump" && grep -q 'AoR: 1002' <<<"$dump"
}

start_registrar() {
    setsid kamailio -DD -E -m 32 -M 4 -Y "$dir" -f "$dir/kamailio.cfg" >> "$dir/kamailio.log" 2>&1 < /dev/null &
    echo $! > "$dir/kamailio.pid"
    wait_for 10 "Kamailio" kamcmd -s "unix:$dir/kamailio.ctl" core.version
}

start() {
    if running kamailio || running baresip; then
        echo "rig.sh: already running in $dir" >&2
        exit 1
    fi
    set_ports
    mkdir -p "$dir/baresip"
    write_users
    write_tone "$dir/peer-tone.wav"
    render "$here/kamailio.cfg.in" "$dir/kamailio.cfg"
    render "$here/baresip.config.in" "$dir/baresip/config"
    render "$here/baresip.accounts.in" "$dir/baresip/accounts"
    : > "$dir/baresip/contacts"

    : > "$dir/kamailio.log"
    if ! start_registrar; then
        stop; exit 1
    fi
    PULSE_SERVER=unix:/nonexistent setsid baresip -f "$dir/baresip" > "$dir/baresip.log" 2>&1 < /dev/null &
    echo $! > "$dir/baresip.pid"
    if ! wait_for 15 "the peer's registrations" registered; then
        stop; exit 1
    fi
    {
        echo "PELEX_RIG_DIR=$dir"
        echo "PELEX_RIG_SIP_PORT=$sip_port"
        echo "PELEX_RIG_REJECT_PORT=$reject_port"
        echo "PELEX_RIG_PEER_PORT=$peer_port"
        echo "PELEX_RIG_PEER_CTRL_PORT=$ctrl_port"
        echo "PELEX_RIG_PEER_RTP_FIRST=$rtp_first"
        echo "PELEX_RIG_PEER_RTP_LAST=$rtp_last"
        echo "PELEX_RIG_PHONE_USER=1000"
        echo "PELEX_RIG_PHONE_PASSWORD=$(password_of 1000)"
        echo "PELEX_RIG_REG_EXPIRES=$reg_expires"
    } > "$dir/rig.env"
    if [ -n "${PELEX_RIG_OWNER_PID:-}" ]; then
        setsid bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 1; done; PELEX_RIG_OWNER_PID= "$2" stop --dir "$3"' \
            watchdog "$PELEX_RIG_OWNER_PID" "$here/rig.sh" "$dir" > /dev/null 2>&1 < /dev/null &
        echo $! > "$dir/watchdog.pid"
    fi
    cat "$dir/rig.env"
}

stop() {
    stop_one baresip
    stop_one kamailio
    # The watchdog may be the caller: end it last, and not ourselves.
    if [ -f "$dir/watchdog.pid" ] && [ "$(cat "$dir/watchdog.pid")" != "$(ps -o sid= $$ | tr -d ' ')" ]; then
        stop_one watchdog
    fi
    rm -f "$dir/watchdog.pid"
}

status() {
    local ok=0
    for name in kamailio baresip; do
        if running $name; then echo "$name running (pid $(cat "$dir/$name.pid"))"; else echo "$name stopped"; ok=1; fi
    done
    return $ok
}

case $cmd in
    start) start ;;
    stop) stop ;;
    stop-registrar) stop_one kamailio ;;
    start-registrar)
        running kamailio && { echo "rig.sh: Kamailio already running" >&2; exit 1; }
        start_registrar ;;
    status) status ;;
    *) echo "usage: rig.sh start|stop|status|stop-registrar|start-registrar [--dir DIR]" >&2; exit 2 ;;
esac
