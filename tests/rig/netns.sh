#!/usr/bin/env bash
# The network rig: the phone behind a home router, the SIP service on the far
# side of it, each in a network namespace of its own (run as root).
#
#   netns.sh start|stop|status [--dir DIR]
#   netns.sh address ADDRESS [--dir DIR]   the phone's address on its link becomes ADDRESS
#                                          (192.0.2.x; as when a DHCP lease changes)
#   netns.sh switch-network [--dir DIR]    the phone joins its second network (203.0.113.0/24)
#                                          and its first link is removed (cable to Wi-Fi)
#   netns.sh link-down|link-up [--dir DIR] the phone's link loses or regains its carrier
#   netns.sh loss PERCENT [--dir DIR]      the router drops PERCENT % of RTP packets at random,
#                                          both ways (0: none)
#   netns.sh delay MS JITTER [--dir DIR]   the router holds each RTP packet MS +/- JITTER ms,
#                                          both ways (0 0: none); needs PELEX_NETRIG_DELAY_TOOL
#   netns.sh forget-mappings [--dir DIR]   the router forgets every mapping (as if rebooted)
#   netns.sh exec phone|router|far CMD...  runs CMD in that namespace
#
# Layout (documentation addresses only, all inside the namespaces made here):
#   phone   lan0 192.0.2.2/24, default route via 192.0.2.1; lan1 203.0.113.2/24 after
#           switch-network. The test process joins it (setns); the second peer of rig.sh,
#           when asked for, runs here too, on the phone's address.
#   router  lan0 192.0.2.1, lan1 203.0.113.1, wan0 198.51.100.1. Forwards and masquerades
#           on wan0, drops what arrives on wan0 unasked, forgets an idle UDP mapping after
#           PELEX_NETRIG_UDP_TIMEOUT seconds (both conntrack UDP timeouts).
#   far     wan0 198.51.100.2: rig.sh's Kamailio (UDP 5060, nathelper on) and media relay
#           (rtpengine, RTP 30000-30099), its baresip peer (SIP 5062, control
#           127.0.0.1:5064 of this namespace, RTP 5070-5089) and, when
#           PELEX_NETRIG_ACCOUNT_SERVER names the program, the account server (TCP 5061).
#
# Settings (environment):
#   PELEX_NETRIG_DIR           state folder                     default /tmp/pelex-netrig-$UID
#   PELEX_NETRIG_OWNER_PID     when set, the rig removes itself once that process is gone
#   PELEX_NETRIG_UDP_TIMEOUT   the router's UDP mapping lifetime, seconds        default 30
#   PELEX_NETRIG_PHONE_RTP     the phone's RTP ports, "first-last" (loss and delay
#                              apply to them and to the peers' RTP ports)  default 40000-40019
#   PELEX_NETRIG_DELAY_TOOL    the NFQUEUE delay program (pelex-netdelay) for `delay`
#   PELEX_NETRIG_ACCOUNT_SERVER, PELEX_NETRIG_ACCOUNTS   account server program and its
#                              accounts file (it names the SIP server 198.51.100.2:5060)
#   PELEX_RIG_*                passed on to rig.sh (answer mode, lifetimes, the peers' sound,
#                              a second peer)
#
# `start` exits with 77 where no network namespaces can be made (not root, or a
# container without the capability), so tests can tell that from a failure.
# `start` prints the settings as KEY=VALUE lines and writes them to DIR/netrig.env
# (the SIP rig's own lines, from DIR/sip/rig.env, among them). `stop` ends every
# process started here and removes the namespaces, and with them their links.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cmd=${1:-status}
[ $# -gt 0 ] && shift
dir=${PELEX_NETRIG_DIR:-/tmp/pelex-netrig-$(id -u)}
args=()
while [ $# -gt 0 ]; do
    case $1 in
        --dir) dir=$2; shift 2 ;;
        *) args+=("$1"); shift ;;
    esac
done
set -- "${args[@]+"${args[@]}"}"

phone_address=192.0.2.2
router_lan=192.0.2.1
second_address=203.0.113.2
router_second=203.0.113.1
router_wan=198.51.100.1
far_address=198.51.100.2
udp_timeout=${PELEX_NETRIG_UDP_TIMEOUT:-30}
phone_rtp=${PELEX_NETRIG_PHONE_RTP:-40000-40019}

fail() { echo "netns.sh: $*" >&2; exit 1; }
# Exit status 77: this machine lets us make no network namespaces.
if [ "$(id -u)" != 0 ] || ! unshare -n true 2>/dev/null; then
    echo "netns.sh: cannot make network namespaces here (needs root and CAP_SYS_ADMIN)" >&2
    exit 77
fi

# Namespace names, made unique per rig so rigs of several tests coexist.
load_names() {
    [ -f "$dir/names" ] || return 1
    # shellcheck disable=SC1091
    . "$dir/names"
}
ns_of() {
    case $1 in
        phone) echo "$phone_ns" ;;
        router) echo "$router_ns" ;;
        far) echo "$far_ns" ;;
        *) fail "no namespace called $1" ;;
    esac
}
in_ns() { local ns; ns=$(ns_of "$1"); shift; ip netns exec "$ns" "$@"; }
ns_exists() { [ -e "/run/netns/$1" ]; }

stop_pid() {  # name: ends the process group recorded in DIR/name.pid
    local pid
    [ -f "$dir/$1.pid" ] || return 0
    pid=$(cat "$dir/$1.pid")
    kill -TERM -- "-$pid" 2>/dev/null || kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 20); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL -- "-$pid" 2>/dev/null || kill -KILL "$pid" 2>/dev/null || true
    rm -f "$dir/$1.pid"
}

link_up() { in_ns "$1" ip link set "$2" up; }

# A veth pair from namespace $1 (name $2, address $3) to the router (name $4, address $5).
lan_link() {
    ip -n "$1" link add "$2" type veth peer name "$4" netns "$router_ns"
    ip -n "$1" addr add "$3/24" dev "$2"
    ip -n "$router_ns" addr add "$5/24" dev "$4"
    ip -n "$1" link set "$2" up
    ip -n "$router_ns" link set "$4" up
}

router_rules() {
    in_ns router sysctl -q -w net.ipv4.ip_forward=1 \
        "net.netfilter.nf_conntrack_udp_timeout=$udp_timeout" \
        "net.netfilter.nf_conntrack_udp_timeout_stream=$udp_timeout"
    in_ns router nft -f - <<EOF
table ip nat {
    chain postrouting {
        type nat hook postrouting priority 100;
        oifname "wan0" masquerade;
    }
}
table inet rig {
    # RTP impairments (loss) live in their own chain, replaced as a whole.
    chain impair {
    }
    chain forward {
        type filter hook forward priority 0;
        iifname "wan0" ct state new drop;
        jump impair;
    }
    # Unasked packets to the router's own outside address are dropped too:
    # were they let in (and refused), the state they leave behind would
    # take the port the phone's own packets should leave from.
    chain input {
        type filter hook input priority 0;
        iifname "wan0" ct state new drop;
    }
}
EOF
}

# The RTP ports loss and delay apply to: the phone's and every peer's.
rtp_ports() {
    # shellcheck disable=SC1091
    . "$dir/sip/rig.env"
    local ports="$phone_rtp, $PELEX_RIG_PEER_RTP_FIRST-$PELEX_RIG_PEER_RTP_LAST"
    [ -z "${PELEX_RIG_SECOND_PEER_RTP_FIRST:-}" ] ||
        ports="$ports, $PELEX_RIG_SECOND_PEER_RTP_FIRST-$PELEX_RIG_SECOND_PEER_RTP_LAST"
    [ -z "${PELEX_RIG_RELAY_RTP_FIRST:-}" ] ||
        ports="$ports, $PELEX_RIG_RELAY_RTP_FIRST-$PELEX_RIG_RELAY_RTP_LAST"
    echo "$ports"
}

start() {
    load_names 2>/dev/null && ns_exists "$phone_ns" && fail "already running in $dir"
    mkdir -p "$dir"
    local tag
    tag=$(printf '%x%04x' $$ $((RANDOM)))
    {
        echo "phone_ns=pelex-$tag-phone"
        echo "router_ns=pelex-$tag-router"
        echo "far_ns=pelex-$tag-far"
        echo "phone_link=lan0"
    } > "$dir/names"
    load_names
    # From here on a failure removes whatever was made.
    trap 'stop >/dev/null 2>&1' ERR
    for ns in "$phone_ns" "$router_ns" "$far_ns"; do
        ip netns add "$ns"
        ip -n "$ns" link set lo up
    done
    # Deleting the phone's first address must keep a newer one on the same link.
    in_ns phone sysctl -q -w net.ipv4.conf.all.promote_secondaries=1 net.ipv4.conf.default.promote_secondaries=1
    lan_link "$phone_ns" lan0 "$phone_address" lan0 "$router_lan"
    ip -n "$phone_ns" route add default via "$router_lan"
    ip -n "$router_ns" link add wan0 type veth peer name wan0 netns "$far_ns"
    ip -n "$router_ns" addr add "$router_wan/24" dev wan0
    ip -n "$far_ns" addr add "$far_address/24" dev wan0
    link_up router wan0
    link_up far wan0
    router_rules

    PELEX_RIG_OWNER_PID='' PELEX_RIG_BASE_PORT=5060 PELEX_RIG_ADDRESS=$far_address PELEX_RIG_NETNS=$far_ns \
        PELEX_RIG_NAT=1 PELEX_RIG_SECOND_PEER_NETNS=$phone_ns PELEX_RIG_SECOND_PEER_ADDRESS=$phone_address \
        "$here/rig.sh" start --dir "$dir/sip" > "$dir/sip.out"

    if [ -n "${PELEX_NETRIG_ACCOUNT_SERVER:-}" ]; then
        setsid ip netns exec "$far_ns" "$PELEX_NETRIG_ACCOUNT_SERVER" --accounts "${PELEX_NETRIG_ACCOUNTS:?}" \
            --listen "$far_address:5061" --sip-server "$far_address" --sip-port 5060 \
            > "$dir/account-server.out" 2> "$dir/account-server.log" < /dev/null &
        echo $! > "$dir/account-server.pid"
        for _ in $(seq 50); do
            grep -q listening "$dir/account-server.out" 2>/dev/null && break
            sleep 0.1
        done
        grep -q listening "$dir/account-server.out" || fail "the account server did not start"
    fi
    trap - ERR

    {
        echo "PELEX_NETRIG_DIR=$dir"
        echo "PELEX_NETRIG_PHONE_NS=$phone_ns"
        echo "PELEX_NETRIG_ROUTER_NS=$router_ns"
        echo "PELEX_NETRIG_FAR_NS=$far_ns"
        echo "PELEX_NETRIG_PHONE_ADDRESS=$phone_address"
        echo "PELEX_NETRIG_SECOND_ADDRESS=$second_address"
        echo "PELEX_NETRIG_ROUTER_ADDRESS=$router_wan"
        echo "PELEX_NETRIG_FAR_ADDRESS=$far_address"
        echo "PELEX_NETRIG_PHONE_RTP=$phone_rtp"
        echo "PELEX_NETRIG_UDP_TIMEOUT=$udp_timeout"
        cat "$dir/sip/rig.env"
    } > "$dir/netrig.env"
    if [ -n "${PELEX_NETRIG_OWNER_PID:-}" ]; then
        setsid bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 1; done; PELEX_NETRIG_OWNER_PID= "$2" stop --dir "$3"' \
            watchdog "$PELEX_NETRIG_OWNER_PID" "$here/netns.sh" "$dir" > /dev/null 2>&1 < /dev/null &
        echo $! > "$dir/watchdog.pid"
    fi
    cat "$dir/netrig.env"
}

stop() {
    load_names || return 0
    stop_pid delay
    stop_pid account-server
    [ ! -d "$dir/sip" ] || PELEX_RIG_OWNER_PID='' "$here/rig.sh" stop --dir "$dir/sip" || true
    for ns in "$phone_ns" "$router_ns" "$far_ns"; do
        ns_exists "$ns" || continue
        # Whatever else still runs inside (a test's own helpers) goes too,
        # except this script's own caller.
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            [ "$pid" = $$ ] || [ "$pid" = "$PPID" ] || kill -KILL "$pid" 2>/dev/null || true
        done
        ip netns del "$ns" 2>/dev/null || true
    done
    rm -f "$dir/names"
    # The watchdog may be the caller: end it last, and not ourselves.
    if [ -f "$dir/watchdog.pid" ] && [ "$(cat "$dir/watchdog.pid")" != "$(ps -o sid= $$ | tr -d ' ')" ]; then
        stop_pid watchdog
    fi
    rm -f "$dir/watchdog.pid"
}

status() {
    load_names || { echo "not running"; return 1; }
    local ok=0
    for ns in "$phone_ns" "$router_ns" "$far_ns"; do
        if ns_exists "$ns"; then echo "$ns present"; else echo "$ns missing"; ok=1; fi
    done
    "$here/rig.sh" status --dir "$dir/sip" || ok=1
    return $ok
}

set_phone_link() { sed -i "s/^phone_link=.*/phone_link=$1/" "$dir/names"; phone_link=$1; }

case $cmd in
    start) start ;;
    stop) stop ;;
    status) status ;;
    address)
        load_names || fail "not running"
        new=${1:?netns.sh address ADDRESS}
        old=$(ip -n "$phone_ns" -4 -o addr show dev "$phone_link" | awk '{ print $4 }' | cut -d/ -f1 | head -n1)
        [ "$old" = "$new" ] || ip -n "$phone_ns" addr add "$new/24" dev "$phone_link"
        [ -z "$old" ] || [ "$old" = "$new" ] || ip -n "$phone_ns" addr del "$old/24" dev "$phone_link"
        gateway=$router_lan
        [ "$phone_link" = lan0 ] || gateway=$router_second
        ip -n "$phone_ns" route replace default via "$gateway"
        ;;
    switch-network)
        load_names || fail "not running"
        [ "$phone_link" = lan0 ] || fail "already on the second network"
        lan_link "$phone_ns" lan1 "$second_address" lan1 "$router_second"
        ip -n "$phone_ns" route replace default via "$router_second"
        ip -n "$phone_ns" link del lan0
        set_phone_link lan1
        ;;
    link-down|link-up)
        load_names || fail "not running"
        # The router's end goes down: the phone's link loses its carrier and
        # keeps its address and routes, as with a cable pulled out.
        ip -n "$router_ns" link set "$phone_link" "${cmd#link-}"
        ;;
    loss)
        load_names || fail "not running"
        percent=${1:?netns.sh loss PERCENT}
        per_mille=$(awk -v p="$percent" 'BEGIN { printf "%d", p * 10 + 0.5 }')
        in_ns router nft flush chain inet rig impair
        [ "$per_mille" -le 0 ] ||
            in_ns router nft add rule inet rig impair udp dport "{ $(rtp_ports) }" \
                numgen random mod 1000 "<" "$per_mille" counter drop
        ;;
    delay)
        load_names || fail "not running"
        ms=${1:?netns.sh delay MS JITTER} jitter=${2:?netns.sh delay MS JITTER}
        stop_pid delay
        in_ns router iptables -t mangle -F FORWARD
        if [ "$ms" != 0 ] || [ "$jitter" != 0 ]; then
            tool=${PELEX_NETRIG_DELAY_TOOL:?netns.sh: set PELEX_NETRIG_DELAY_TOOL to pelex-netdelay}
            setsid ip netns exec "$router_ns" "$tool" --queue 0 --delay "$ms" --jitter "$jitter" \
                > "$dir/delay.log" 2>&1 < /dev/null &
            echo $! > "$dir/delay.pid"
            ports=$(rtp_ports | tr -d ' ' | tr '-' ':')
            # Packets pass unheld should the program be gone (--queue-bypass).
            in_ns router iptables -t mangle -A FORWARD -p udp -m multiport --dports "$ports" \
                -j NFQUEUE --queue-num 0 --queue-bypass
            for _ in $(seq 50); do
                grep -q holding "$dir/delay.log" 2>/dev/null && break
                sleep 0.1
            done
            grep -q holding "$dir/delay.log" || fail "the delay program did not start: $(cat "$dir/delay.log")"
        fi
        ;;
    forget-mappings)
        load_names || fail "not running"
        in_ns router conntrack -F 2>/dev/null || true
        ;;
    exec)
        load_names || fail "not running"
        where=${1:?netns.sh exec phone|router|far CMD...}
        shift
        in_ns "$where" "$@"
        ;;
    *) echo "usage: netns.sh start|stop|status|address|switch-network|link-down|link-up|loss|delay|forget-mappings|exec [--dir DIR]" >&2
       exit 2 ;;
esac
