#!/usr/bin/env bash
# A private PulseAudio sound server for tests and the demo, with no hardware:
# every device is a null sink, so what a program "plays" can be recorded from
# the sink's monitor, and what a test plays into a "feed" sink is what a
# program "hears" from the matching microphone source.
#
#   sound.sh start|stop|status [--dir DIR] [--server pulseaudio|pipewire]
#
# --server pipewire runs PipeWire with its PulseAudio server (pipewire,
# wireplumber and pipewire-pulse, as Debian's desktops do) on a private
# runtime folder and session bus instead of PulseAudio itself; clients and
# devices are the same.
#
# Devices (sink and source names; descriptions in brackets):
#   phone_speaker              sink    the phone's speaker, the default sink [Phone speaker]
#   phone_mic_feed             sink    play the user's voice here            [Phone microphone feed]
#   phone_mic                  source  the phone's microphone, the default source: a copy of
#                                      phone_mic_feed's monitor that is no monitor itself (stacks
#                                      such as mediastreamer2 skip monitors)   [Phone microphone]
#   peer_speaker, peer_mic_feed, peer_mic   the same three for the peer user agent
#
# Settings (environment):
#   PELEX_SOUND_DIR        state folder (socket, logs, pid)   default /tmp/pelex-sound-$UID
#   PELEX_SOUND_OWNER_PID  when set, the server stops itself once that process is gone
#   PELEX_SOUND_SERVER     pulseaudio or pipewire, as --server      default pulseaudio
#
# `start` prints the settings as KEY=VALUE lines (PULSE_SERVER among them) and
# writes them to DIR/sound.env; it returns once every device exists.
# `stop` ends the server and its watchdog.
set -euo pipefail
trap 'echo "sound.sh: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
here=$(cd "$(dirname "$0")" && pwd)
cmd=${1:-status}
[ $# -gt 0 ] && shift
dir=${PELEX_SOUND_DIR:-/tmp/pelex-sound-$(id -u)}
kind=${PELEX_SOUND_SERVER:-pulseaudio}
while [ $# -gt 0 ]; do
    case $1 in
        --dir) dir=$2; shift 2 ;;
        --server) kind=$2; shift 2 ;;
        *) echo "sound.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
case $kind in
    pulseaudio) server="unix:$dir/native" ;;
    pipewire) server="unix:$dir/runtime/pulse/native" ;;
    *) echo "sound.sh: --server must be pulseaudio or pipewire" >&2; exit 2 ;;
esac

# A process group with a member that is not a zombie (an ended process whose
# parent is gone may stay a zombie where nothing reaps orphans).
group_alive() { ps -o stat= -g "$1" 2>/dev/null | grep -qv '^Z'; }
running() { [ -f "$dir/$1.pid" ] && group_alive "$(cat "$dir/$1.pid")"; }

stop_one() {
    local name=$1 pid
    [ -f "$dir/$name.pid" ] || return 0
    pid=$(cat "$dir/$name.pid")
    kill -TERM -- "-$pid" 2>/dev/null || true
    for _ in $(seq 20); do
        group_alive "$pid" || break
        sleep 0.1
    done
    kill -KILL -- "-$pid" 2>/dev/null || true
    rm -f "$dir/$name.pid"
}

pa() { PULSE_SERVER=$server pactl "$@"; }
# A pactl command that changes the server, tried again for a while:
# PipeWire's PulseAudio server answers before PipeWire can make devices and
# before its session manager keeps the defaults ("Not supported" then).
again() {
    for _ in $(seq 50); do
        pa "$@" > /dev/null 2>&1 && return 0
        sleep 0.1
    done
    pa "$@" > /dev/null && return 0
    echo "sound.sh: pactl $* kept failing; the server's log ends:" >&2
    tail -n 8 "$dir/pulse.log" >&2
    return 1
}
load() { again load-module "$@"; }

# A null sink called $1 described as $2, once the server lists it (PipeWire
# makes it after answering).
add_sink() {
    load module-null-sink "sink_name=$1" "sink_properties=\"device.description='$2'\""
    for _ in $(seq 100); do
        pa list short sinks | cut -f2 | grep -qx "$1" && return 0
        sleep 0.05
    done
    echo "sound.sh: the sink $1 did not appear" >&2
    return 1
}
# A plain source $1 (described as $3) carrying what is played into sink $2,
# once the sink's monitor is listed (PipeWire lists it a moment after the sink).
add_mic() {
    for _ in $(seq 100); do
        pa list short sources | cut -f2 | grep -qx "$2.monitor" && break
        sleep 0.05
    done
    load module-remap-source "source_name=$1" "master=$2.monitor" \
        "source_properties=\"device.description='$3'\""
}

# An idle null sink renders in blocks of its largest latency (2 s), and a
# client that arrives waits out the block in progress, losing it. A quiet
# recorder of low latency on each sink keeps the blocks short from the start,
# as a sound card's are: the sinks are suspended while the recorders connect.
keep_sinks_fast() {
    local sink
    for sink in "$@"; do pa suspend-sink "$sink" 1; done
    PULSE_SERVER=$server setsid bash -c 'for sink in "$@"; do
            parec --device="$sink.monitor" --latency-msec=20 --raw --format=s16le --rate=8000 --channels=1 > /dev/null &
        done; wait' keepers "$@" > /dev/null 2>&1 < /dev/null &
    echo $! > "$dir/keepers.pid"
    for _ in $(seq 50); do
        [ "$(pa list short source-outputs | wc -l)" -ge $(($# + 2)) ] && break
        sleep 0.1
    done
    for sink in "$@"; do pa suspend-sink "$sink" 0; done
}

# PulseAudio itself. -n: no default.pa (no hardware probing, no D-Bus); the
# server never exits by itself while the harness owns it.
start_pulseaudio() {
    XDG_RUNTIME_DIR=$dir/runtime HOME=$dir/home setsid pulseaudio -n --daemonize=no --exit-idle-time=-1 \
        --use-pid-file=no --realtime=no --high-priority=no --log-target="file:$dir/pulse.log" \
        -L "module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
        > "$dir/pulse.out" 2>&1 < /dev/null &
    echo $! > "$dir/pulseaudio.pid"
    echo $! > "$dir/server.pid"
}

# PipeWire, its session manager and its PulseAudio server, in one process
# group with a session bus of their own (WirePlumber needs one). No sound
# card is found in a private runtime folder without a user session: the
# null sinks below are the only devices. server.pid names the process that
# answers PulseAudio clients (what freezing the server stops).
start_pipewire() {
    # The graph runs one fixed cycle, PipeWire's default of 1024 frames at
    # 48 kHz. Left free, it shortens its cycle whenever a stream asks for
    # less (the tests' recorders ask for 10 ms) and lengthens it again when
    # that stream goes; each change costs its loopback and remapped source
    # a cycle of sound. The rig's echo (a loopback into the microphone) then
    # came 5 ms sooner at a time, 80 ms in 12 s, as no room makes it.
    mkdir -p "$dir/home/.config/pipewire/pipewire.conf.d"
    cat > "$dir/home/.config/pipewire/pipewire.conf.d/fixed-cycle.conf" <<'CONF'
context.properties = {
    default.clock.quantum = 1024
    default.clock.min-quantum = 1024
    default.clock.max-quantum = 1024
}
CONF
    XDG_RUNTIME_DIR=$dir/runtime HOME=$dir/home setsid bash -c '
        dbus-daemon --session --address="unix:path=$1/bus" --nofork --nopidfile &
        for _ in $(seq 50); do [ -S "$1/bus" ] && break; sleep 0.1; done
        export DBUS_SESSION_BUS_ADDRESS="unix:path=$1/bus"
        pipewire &
        # The session manager and the PulseAudio server give up at once when
        # PipeWire is not listening yet (a busy machine): they start once it is.
        for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break; sleep 0.1; done
        wireplumber &
        pipewire-pulse &
        echo $! > "$1/server.pid"
        wait' pipewire "$dir" > "$dir/pulse.log" 2>&1 < /dev/null &
    echo $! > "$dir/pulseaudio.pid"
}

start() {
    if running pulseaudio; then
        echo "sound.sh: already running in $dir" >&2
        exit 1
    fi
    rm -rf "$dir/runtime" "$dir/home"
    mkdir -p "$dir"
    mkdir -m 700 "$dir/runtime" "$dir/home"
    rm -f "$dir/native" "$dir/server.pid"
    "start_$kind"
    local up=0
    for _ in $(seq 200); do
        if pa info > /dev/null 2>&1; then up=1; break; fi
        running pulseaudio || break
        sleep 0.1
    done
    if [ $up != 1 ]; then
        echo "sound.sh: the sound server did not start (log in $dir/pulse.log)" >&2
        stop; exit 1
    fi
    add_sink phone_speaker "Phone speaker"
    add_sink phone_mic_feed "Phone microphone feed"
    add_mic phone_mic phone_mic_feed "Phone microphone"
    add_sink peer_speaker "Peer speaker"
    add_sink peer_mic_feed "Peer microphone feed"
    add_mic peer_mic peer_mic_feed "Peer microphone"
    again set-default-sink phone_speaker
    again set-default-source phone_mic
    # PipeWire drives idle sinks in short quanta by itself.
    [ "$kind" = pipewire ] || keep_sinks_fast phone_speaker phone_mic_feed peer_speaker peer_mic_feed
    {
        echo "PELEX_SOUND_DIR=$dir"
        echo "PELEX_SOUND_SERVER=$kind"
        echo "PULSE_SERVER=$server"
        echo "PELEX_SOUND_PHONE_SPEAKER=phone_speaker"
        echo "PELEX_SOUND_PHONE_MIC_FEED=phone_mic_feed"
        echo "PELEX_SOUND_PHONE_MIC=phone_mic"
        echo "PELEX_SOUND_PEER_SPEAKER=peer_speaker"
        echo "PELEX_SOUND_PEER_MIC_FEED=peer_mic_feed"
        echo "PELEX_SOUND_PEER_MIC=peer_mic"
    } > "$dir/sound.env"
    if [ -n "${PELEX_SOUND_OWNER_PID:-}" ]; then
        setsid bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 1; done; PELEX_SOUND_OWNER_PID= "$2" stop --dir "$3" "$4" "$5"' \
            watchdog "$PELEX_SOUND_OWNER_PID" "$here/sound.sh" "$dir" --server "$kind" > /dev/null 2>&1 < /dev/null &
        echo $! > "$dir/watchdog.pid"
    fi
    cat "$dir/sound.env"
}

stop() {
    stop_one keepers
    stop_one pulseaudio
    rm -f "$dir/native" "$dir/server.pid"
    if [ -f "$dir/watchdog.pid" ] && [ "$(cat "$dir/watchdog.pid")" != "$(ps -o sid= $$ | tr -d ' ')" ]; then
        stop_one watchdog
    fi
    rm -f "$dir/watchdog.pid"
}

status() {
    if running pulseaudio; then echo "$kind running (pid $(cat "$dir/pulseaudio.pid"), $server)"; return 0; fi
    echo "$kind stopped"
    return 1
}

case $cmd in
    start) start ;;
    stop) stop ;;
    status) status ;;
    *) echo "usage: sound.sh start|stop|status [--dir DIR] [--server pulseaudio|pipewire]" >&2; exit 2 ;;
esac
