#!/usr/bin/env bash
# The SIP rig: Kamailio as registrar and proxy, and baresip as an
# auto-answering peer (users 1001 and 1002), all on 127.0.0.1 unless told to
# run on another address inside a network namespace (netns.sh does that).
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
#   PELEX_RIG_PEER_PLAYER     where the peer plays what it receives: null (nowhere) or
#                             pulse (sink PELEX_RIG_PEER_SINK, default peer_speaker, of the
#                             sound server $PULSE_SERVER; see sound.sh)       default null
#   PELEX_RIG_PEER_TONE_SECONDS  how long the peer's 1 kHz tone lasts          default 10
#   PELEX_RIG_PEER_VOICE      what the peer sends: tone (a 1 kHz tone file), melody (a
#                             short tune, over and over) or mic (source PELEX_RIG_PEER_SOURCE,
#                             default peer_mic, of $PULSE_SERVER)             default tone
#   PELEX_RIG_SECOND_PEER     1 starts a second baresip with user 1004 (auto answer) on
#                             base+5 (SIP), base+7 (ctrl_tcp), base+8 to base+9 (RTP),
#                             playing into sink PELEX_RIG_SECOND_PEER_SINK (default
#                             pair_speaker) of $PULSE_SERVER, so two peers can talk
#   PELEX_RIG_ADDRESS         the address Kamailio and the peer use      default 127.0.0.1
#   PELEX_RIG_NETNS           a network namespace Kamailio and the peer run in
#                             (`ip netns exec`); their control sockets stay on
#                             127.0.0.1 of that namespace                default none
#   PELEX_RIG_NAT             1: Kamailio treats its clients as a provider treats
#                             clients behind home routers (nathelper: it answers to the
#                             address a request came from, keeps that address for
#                             registrations and fixes Contacts), and every call's sound
#                             goes through a media relay (rtpengine, control port
#                             base+30, RTP 30000-30099) that answers each side at the
#                             address its sound comes from                default 0
#   PELEX_RIG_SECOND_PEER_NETNS, PELEX_RIG_SECOND_PEER_ADDRESS
#                             namespace and address of the second peer (default: the
#                             same as the first peer's)
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
peer_player=${PELEX_RIG_PEER_PLAYER:-null}
peer_voice=${PELEX_RIG_PEER_VOICE:-tone}
second_peer=${PELEX_RIG_SECOND_PEER:-0}
address=${PELEX_RIG_ADDRESS:-127.0.0.1}
netns=${PELEX_RIG_NETNS:-}
nat=${PELEX_RIG_NAT:-0}
second_netns=${PELEX_RIG_SECOND_PEER_NETNS:-$netns}
second_address=${PELEX_RIG_SECOND_PEER_ADDRESS:-$address}
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
    second_port=$((base_port + 5))
    second_ctrl_port=$((base_port + 7))
    relay_port=$((base_port + 30))
    relay_first=30000
    relay_last=30099
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

render() {  # template output [peer port, ctrl port, rtp ports, player, source, peer address]
    sed -e "s|@STATE_DIR@|$dir|g" -e "s|@ADDRESS@|$address|g" -e "s|@PEER_ADDRESS@|${8:-$address}|g" -e "s|@SIP_PORT@|$sip_port|g" -e "s|@REJECT_PORT@|$reject_port|g" \
        -e "s|@PEER_PORT@|${3:-$peer_port}|g" -e "s|@CTRL_PORT@|${4:-$ctrl_port}|g" \
        -e "s|@ANSWER_MODE@|$answer_mode|g" -e "s|@RTP_PORTS@|${5:-$rtp_first-$rtp_last}|g" \
        -e "s|@PLAYER@|${6:-alsa,null}|g" -e "s|@SOURCE@|${7:-aufile,$dir/peer-tone.wav}|g" \
        -e "s|@REG_EXPIRES@|$reg_expires|g" -e "s|@REG_MIN_EXPIRES@|$reg_min_expires|g" \
        -e "s|@RELAY_PORT@|${relay_port:-0}|g" \
        -e "s|@PW_1001@|$(password_of 1001)|g" -e "s|@PW_1002@|$(password_of 1002)|g" \
        -e "s|@PW_1004@|$(password_of 1004)|g" "$1" > "$2"
}

write_users() {
    mkdir -p "$dir/db"
    printf 'table_name(str) table_version(int)\nsubscriber:7\n' > "$dir/db/version"
    {
        echo 'id(int,auto) username(str) domain(str,null) password(str) ha1(str,null) ha1b(str,null)'
        awk '!/^#/ && NF == 2 { n++; printf "%d:%s:%s:%s::\n", n, $1, a, $2 }' a="$address" "$here/users.txt"
    } > "$dir/db/subscriber"
}

write_tone() {  # a 1 kHz tone, 8 kHz 16-bit mono, $2 s (10): what the peer sends
    python3 - "$1" "${2:-10}" <<'PY'
import math, struct, sys, wave
period = b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * 1000 * i / 8000))) for i in range(8))
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
    w.writeframes(period * (1000 * int(sys.argv[2])))
PY
}

write_melody() {  # a short tune in soft sine notes with gaps, 8 kHz 16-bit mono, repeated for 60 s
    python3 - "$1" <<'PY'
import math, struct, sys, wave
notes = [523.25, 659.25, 783.99, 1046.5, 783.99, 659.25, 587.33, 698.46, 880.0, 698.46, 587.33, 493.88]
rate, frames = 8000, []
for n in notes:
    for i in range(int(rate * 0.22)):
        t = i / rate
        gain = min(1.0, t / 0.01, (0.22 - t) / 0.03)
        frames.append(int(9000 * gain * math.sin(2 * math.pi * n * t)))
    frames += [0] * int(rate * 0.04)
frames += [0] * int(rate * 0.6)
data = b"".join(struct.pack("<h", v) for v in frames)
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(rate)
    w.writeframes(data * max(1, int(60 * rate / len(frames))))
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
    grep -q 'AoR: 1001' <<<"$dump" && grep -q 'AoR: 1002' <<<"$dump" || return 1
    [ "$second_peer" != 1 ] || grep -q 'AoR: 1004' <<<"$dump"
}

# The audio device settings of the peer's configuration: player, then source.
peer_devices() {
    local player=alsa,null source="aufile,$dir/peer-tone.wav"
    case $peer_player in
        null) ;;
        pulse) player=alsa,pulse ;;
        *) echo "rig.sh: PELEX_RIG_PEER_PLAYER must be null or pulse" >&2; return 1 ;;
    esac
    case $peer_voice in
        tone) ;;
        melody) source="aufile,$dir/peer-melody.wav" ;;
        mic) source=alsa,pulse ;;
        *) echo "rig.sh: PELEX_RIG_PEER_VOICE must be tone, melody or mic" >&2; return 1 ;;
    esac
    echo "$player $source"
}

# Becomes "$@" leading a session of its own, inside network namespace $1
# when one is named (run it in the background: `spawn NS CMD... &`).
spawn() {
    local ns=$1
    shift
    if [ -n "$ns" ]; then exec setsid ip netns exec "$ns" "$@"; else exec setsid "$@"; fi
}

# The media relay for clients behind routers (PELEX_RIG_NAT=1): rtpengine in
# user space, taking each side's address from the sound it sends. It learns
# an address from the first packet (rtpengine's default waits 3 s before it
# believes one, which would hide how soon the phone itself is heard again).
start_relay() {
    spawn "$netns" rtpengine --config-file=none --foreground --log-stderr --log-level=6 --table=-1 \
        --interface="$address" --listen-ng="127.0.0.1:$relay_port" --port-min=$relay_first \
        --port-max=$relay_last --num-threads=2 --delete-delay=0 --endpoint-learning=immediate \
        > "$dir/rtpengine.log" 2>&1 < /dev/null &
    echo $! > "$dir/rtpengine.pid"
    wait_for 10 "the media relay" relay_answers
}

relay_answers() {
    local probe='import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.settimeout(0.2)
s.sendto(b"rig d7:command4:pinge", ("127.0.0.1", int(sys.argv[1])))
sys.exit(0 if b"pong" in s.recv(200) else 1)'
    if [ -n "$netns" ]; then ip netns exec "$netns" python3 -c "$probe" "$relay_port"
    else python3 -c "$probe" "$relay_port"; fi
}

start_registrar() {
    local defines=()
    [ "$nat" != 1 ] || defines=(-A WITH_NAT)
    spawn "$netns" kamailio -DD -E -m 32 -M 4 -Y "$dir" "${defines[@]}" -f "$dir/kamailio.cfg" \
        >> "$dir/kamailio.log" 2>&1 < /dev/null &
    echo $! > "$dir/kamailio.pid"
    wait_for 10 "Kamailio" kamcmd -s "unix:$dir/kamailio.ctl" core.version
}

start() {
    if running kamailio || running baresip || running baresip2; then
        echo "rig.sh: already running in $dir" >&2
        exit 1
    fi
    set_ports
    local devices
    devices=$(peer_devices)
    mkdir -p "$dir/baresip"
    # Where Kamailio runs, for a later start-registrar.
    printf 'netns=%q\nnat=%q\n' "$netns" "$nat" > "$dir/rig.settings"
    write_users
    write_tone "$dir/peer-tone.wav" "${PELEX_RIG_PEER_TONE_SECONDS:-10}"
    [ "$peer_voice" != melody ] || write_melody "$dir/peer-melody.wav"
    render "$here/kamailio.cfg.in" "$dir/kamailio.cfg"
    # shellcheck disable=SC2086
    render "$here/baresip.config.in" "$dir/baresip/config" "" "" "" $devices
    render "$here/baresip.accounts.in" "$dir/baresip/accounts"
    : > "$dir/baresip/contacts"
    if [ "$second_peer" = 1 ]; then
        mkdir -p "$dir/baresip2"
        render "$here/baresip.config.in" "$dir/baresip2/config" "$second_port" "$second_ctrl_port" \
            "$((base_port + 8))-$((base_port + 9))" alsa,pulse "aufile,$dir/peer-tone.wav" "$second_address"
        render "$here/baresip.second.accounts.in" "$dir/baresip2/accounts"
        : > "$dir/baresip2/contacts"
    fi

    : > "$dir/kamailio.log"
    if [ "$nat" = 1 ] && ! start_relay; then
        stop; exit 1
    fi
    if ! start_registrar; then
        stop; exit 1
    fi
    # The peer reaches a sound server only when it plays or records through
    # one; otherwise it must not spawn one.
    local peer_server=unix:/nonexistent
    if [ "$peer_player" = pulse ] || [ "$peer_voice" = mic ]; then
        peer_server=${PULSE_SERVER:?rig.sh: the peer plays or records through PulseAudio: set PULSE_SERVER}
    fi
    PULSE_SERVER=$peer_server PULSE_SINK=${PELEX_RIG_PEER_SINK:-peer_speaker} \
        PULSE_SOURCE=${PELEX_RIG_PEER_SOURCE:-peer_mic} \
        spawn "$netns" baresip -f "$dir/baresip" > "$dir/baresip.log" 2>&1 < /dev/null &
    echo $! > "$dir/baresip.pid"
    if [ "$second_peer" = 1 ]; then
        PULSE_SERVER=${PULSE_SERVER:?rig.sh: the second peer plays through PulseAudio: set PULSE_SERVER} \
            PULSE_SINK=${PELEX_RIG_SECOND_PEER_SINK:-pair_speaker} \
            spawn "$second_netns" baresip -f "$dir/baresip2" > "$dir/baresip2.log" 2>&1 < /dev/null &
        echo $! > "$dir/baresip2.pid"
    fi
    if ! wait_for 15 "the peer's registrations" registered; then
        stop; exit 1
    fi
    {
        echo "PELEX_RIG_DIR=$dir"
        echo "PELEX_RIG_ADDRESS=$address"
        echo "PELEX_RIG_SIP_PORT=$sip_port"
        echo "PELEX_RIG_REJECT_PORT=$reject_port"
        echo "PELEX_RIG_PEER_PORT=$peer_port"
        echo "PELEX_RIG_PEER_CTRL_PORT=$ctrl_port"
        echo "PELEX_RIG_PEER_RTP_FIRST=$rtp_first"
        echo "PELEX_RIG_PEER_RTP_LAST=$rtp_last"
        if [ "$second_peer" = 1 ]; then
            echo "PELEX_RIG_SECOND_PEER_PORT=$second_port"
            echo "PELEX_RIG_SECOND_PEER_CTRL_PORT=$second_ctrl_port"
            echo "PELEX_RIG_SECOND_PEER_RTP_FIRST=$((base_port + 8))"
            echo "PELEX_RIG_SECOND_PEER_RTP_LAST=$((base_port + 9))"
        fi
        echo "PELEX_RIG_PHONE_USER=1000"
        echo "PELEX_RIG_PHONE_PASSWORD=$(password_of 1000)"
        echo "PELEX_RIG_REG_EXPIRES=$reg_expires"
        if [ "$nat" = 1 ]; then
            echo "PELEX_RIG_RELAY_RTP_FIRST=$relay_first"
            echo "PELEX_RIG_RELAY_RTP_LAST=$relay_last"
        fi
    } > "$dir/rig.env"
    if [ -n "${PELEX_RIG_OWNER_PID:-}" ]; then
        setsid bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 1; done; PELEX_RIG_OWNER_PID= "$2" stop --dir "$3"' \
            watchdog "$PELEX_RIG_OWNER_PID" "$here/rig.sh" "$dir" > /dev/null 2>&1 < /dev/null &
        echo $! > "$dir/watchdog.pid"
    fi
    cat "$dir/rig.env"
}

stop() {
    stop_one baresip2
    stop_one baresip
    stop_one kamailio
    stop_one rtpengine
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
        # shellcheck disable=SC1091
        [ ! -f "$dir/rig.settings" ] || . "$dir/rig.settings"
        start_registrar ;;
    status) status ;;
    *) echo "usage: rig.sh start|stop|status|stop-registrar|start-registrar [--dir DIR]" >&2; exit 2 ;;
esac
