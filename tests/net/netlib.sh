# Sourced by the namespace tests and bench/net_bench.sh; all is named rk-<pid>-*, removed at EXIT,
# every wait bounded. r2 can be made silent (forwards, sends no ICMP of its own); r3 blackholes
# 203.0.113.64/29 and .128/25. r1-r2 is delay_link.py: NET_DELAY_MS (10) one way, NET_JITTER_MS (2),
# NET_LOSS (0), NET_DELAY_BY_DST (ADDR:MS,...: more delay to and from those hosts). The routers
# keep the kernel's default ICMP rate limits, as real ones ration theirs.
#   client 192.0.2.1 --- .2 r1 198.51.100.1 ~~~ .2 r2 198.51.100.5 --- .6 r3 203.0.113.1 --- .2 target
NS_CLIENT="rk-$$-client" NS_R1="rk-$$-r1" NS_R2="rk-$$-r2" NS_R3="rk-$$-r3" NS_TARGET="rk-$$-target"
TARGET_IP=203.0.113.2 BLACKHOLE_IP=203.0.113.66 OPEN_PORT=8443 REFUSED_PORT=8001
TARGET_RE='203\.0\.113\.2' R1_RE='192\.0\.2\.2' R3_RE='198\.51\.100\.6' BLACKHOLE_RE='203\.0\.113\.66'
net_failures=0 net_created_ns=() net_pids=() net_temp_dirs=() net_wine_prefixes=()

net_log() { printf '%s\n' "$*" >&2; }
nsx() { ip netns exec "$@"; }

net_skip_or_fail() {  # without root or namespaces: skip (exit 77), except in CI
  [ "${CI:-}" != "true" ] || { net_log "FAIL: $* (CI=true: network tests must run)"; exit 1; }
  net_log "SKIP: $*"; exit 77
}

net_teardown() {
  local pid ns dir
  for pid in "${net_pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  for dir in "${net_wine_prefixes[@]}"; do WINEPREFIX="$dir" timeout 20 wineserver -k 2>/dev/null; done
  for ns in "${net_created_ns[@]}"; do
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill "$pid" 2>/dev/null; done
    ip netns del "$ns" 2>/dev/null
  done
  rm -rf "${net_temp_dirs[@]}"
}

net_up() { nsx "$1" ip addr add "$3" dev "$2" && nsx "$1" ip link set "$2" up; }  # NS IF ADDR
net_link() {  # NS_A IF_A ADDR_A NS_B IF_B ADDR_B
  ip link add "$2" netns "$1" type veth peer name "$5" netns "$4" && net_up "$1" "$2" "$3" && net_up "$4" "$5" "$6"
}

# net_delay_link NS_A IF_A ADDR_A NS_B IF_B ADDR_B: like net_link, through the delaying forwarder.
net_delay_link() {
  NET_LINK_CONFIG=$(mktemp /tmp/rk-net-link.XXXXXX) && net_temp_dirs+=("$NET_LINK_CONFIG") || return 1
  printf '%s\n' "ns_a=$1" "dev_a=$2" "ns_b=$4" "dev_b=$5" "delay_ms=${NET_DELAY_MS:-10}" \
    "jitter_ms=${NET_JITTER_MS:-2}" "loss=${NET_LOSS:-0}" "lifetime_s=900" \
    ${NET_DELAY_BY_DST:+"delay_by_dst=$NET_DELAY_BY_DST"} >"$NET_LINK_CONFIG"
  nsx "$1" ip tuntap add dev "$2" mode tun && nsx "$4" ip tuntap add dev "$5" mode tun || return 1
  python3 "$(dirname "${BASH_SOURCE[0]}")/delay_link.py" "$NET_LINK_CONFIG" </dev/null >/dev/null 2>&1 &
  net_pids+=($!)
  net_up "$1" "$2" "$3" && net_up "$4" "$5" "$6" || return 1
  local i  # the forwarder is up once a packet crosses
  for i in $(seq 50); do nsx "$1" ping -c1 -W1 -q "${6%/*}" >/dev/null 2>&1 && return 0; done
  return 1
}

net_build() {  # [silent]
  local ns route
  for ns in "$NS_CLIENT" "$NS_R1" "$NS_R2" "$NS_R3" "$NS_TARGET"; do
    ip netns add "$ns" 2>/dev/null && net_created_ns+=("$ns") && nsx "$ns" ip link set lo up || return 1
  done
  net_link "$NS_CLIENT" eth0 192.0.2.1/30 "$NS_R1" west 192.0.2.2/30 &&
    net_delay_link "$NS_R1" east 198.51.100.1/30 "$NS_R2" west 198.51.100.2/30 &&
    net_link "$NS_R2" east 198.51.100.5/30 "$NS_R3" west 198.51.100.6/30 &&
    net_link "$NS_R3" east 203.0.113.1/29 "$NS_TARGET" eth0 203.0.113.2/29 || return 1
  for ns in "$NS_R1" "$NS_R2" "$NS_R3"; do nsx "$ns" sysctl -qw net.ipv4.ip_forward=1 || return 1; done
  while read -r ns route; do
    nsx "rk-$$-$ns" ip route add $route || return 1
  done <<ROUTES
client default via 192.0.2.2
r1 default via 198.51.100.2
r2 192.0.2.0/30 via 198.51.100.1
r2 default via 198.51.100.6
r3 default via 198.51.100.5
r3 blackhole 203.0.113.64/29
r3 blackhole 203.0.113.128/25
target default via 203.0.113.1
ROUTES
  # Silent r2: what r2 itself sends (iif lo) as ICMP finds only a blackhole,
  # while what it forwards is routed as usual (no iptables here).
  [ "${1:-}" != silent ] || nsx "$NS_R2" ip rule add pref 100 iif lo ipproto icmp blackhole
}

# Accepts and closes on the target for at most 300 s; returns once listening; holds no pipe.
net_listen() {
  nsx "$NS_TARGET" python3 -c '
import os, signal, socket, sys
s = socket.create_server(("0.0.0.0", int(sys.argv[1])), backlog=32)
if os.fork(): os._exit(0)
signal.alarm(300)
while True: s.accept()[0].close()
' "$OPEN_PORT" </dev/null >/dev/null 2>&1
}

# A client tree (CRLF as the client writes; ASCII, so CP950 too), hosts: 0 Order1, the target on
# REFUSED, OPEN, 9000; 1 Quote1, r3; 2 Local 1, blackholed, OPEN; 3 Local 2, the target, REFUSED.
net_client_tree() {
  NET_ROOT=$(mktemp -d /tmp/rk-net-client.XXXXXX) && net_temp_dirs+=("$NET_ROOT") || return 1
  mkdir -p "$NET_ROOT/Sys" "$NET_ROOT/Bin"
  net_ini Sys/ZentickConSet.ini "[Tradedesk]" "Name=Order1,Quote1" "[Order1]" "NMIP=$TARGET_IP" \
    "[Quote1]" "NMIP=198.51.100.6" &&
    net_ini Sys/O_Tradedesk.ini "[Config]" "FileName=VekTradedesk.ini" &&
    net_ini Sys/VekTradedesk.ini "[Local]" "Count=2" "IP_1=$BLACKHOLE_IP" "Port_1=$OPEN_PORT" \
      "IP_2=$TARGET_IP" "Port_2=$REFUSED_PORT" &&
    net_ini Bin/BaseConfig.ini "[DC]" "ClientToNMPortTry=$REFUSED_PORT, $OPEN_PORT, 9000"
}
net_ini() { printf '%s\r\n' "${@:2}" >"$NET_ROOT/$1"; }  # FILE LINE...: one file of the tree
# net_locals HOST:PORT...: the tree's Local list, and nothing else to test.
net_locals() {
  local i=0 lines=() entry
  for entry in "$@"; do i=$((i + 1)); lines+=("IP_$i=${entry%:*}" "Port_$i=${entry##*:}"); done
  net_ini Sys/ZentickConSet.ini "[Tradedesk]" "Name="
  net_ini Sys/VekTradedesk.ini "[Local]" "Count=$i" "${lines[@]}"
}
# net_field FILE EXPR: a python expression over the JSON document `d` in FILE, printed.
net_field() { python3 -c "import json,sys; d=json.load(open(sys.argv[1], encoding='utf-8')); print($2)" "$1"; }

net_run() {  # OUT ARGS...: the CLI on NET_ROOT, its lines into OUT; sets EXIT and ELAPSED_MS
  local out=$1 start=$(date +%s%3N); shift
  net_cli "$NET_ROOT" "$@" >"$out"; EXIT=$? ELAPSED_MS=$(($(date +%s%3N) - start))
}

# Sets NET_WINE_PREFIX: a hard-linked copy of a template booted once, so that its server and ICMP
# helper start in the client's namespace (Wine replaces its files rather than rewriting them).
net_wine_prefix() {
  local template="$1/net-wine-template"
  mkdir -p "$1" && (
    flock -w 300 9 || exit 1
    [ -f "$template/system.reg" ] && exit 0
    rm -rf "$template" && mkdir -p "$template"
    export WINEPREFIX="$template" WINEDEBUG=-all
    LC_ALL=zh_TW.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml=" timeout 300 wineboot -i </dev/null >/dev/null 2>&1
    # The server has usually gone by now: neither wait nor kill may fail the boot.
    timeout 60 wineserver -w 2>/dev/null; wineserver -k 2>/dev/null; true
  ) 9>"$1/net-wine-template.lock" && [ -f "$template/system.reg" ] || return 1
  NET_WINE_PREFIX=$(mktemp -d /tmp/rk-net-wine.XXXXXX) || return 1
  net_wine_prefixes+=("$NET_WINE_PREFIX") net_temp_dirs+=("$NET_WINE_PREFIX")
  cp -al "$template/." "$NET_WINE_PREFIX/" 2>/dev/null || cp -a "$template/." "$NET_WINE_PREFIX/"
  rm -f "$NET_WINE_PREFIX/wineserver"
}

# net_cli ROOT ARGS...: reachkit-cli in the client's namespace; UTF-8 lines on stdout. JSON
# (--json after the command) is UTF-8 on every platform: no code-page conversion for it.
net_cli() {
  local root=$1 decode=(iconv -f CP950 -t UTF-8); shift
  [ -n "${NET_WINE_EXE:-}" ] || { nsx "$NS_CLIENT" timeout 180 "$NET_CLI" --root "$root" "$@"; return; }
  [ "${2:-}" != --json ] || decode=(cat)
  nsx "$NS_CLIENT" env WINEPREFIX="$NET_WINE_PREFIX" WINEDEBUG=-all LC_ALL=zh_TW.UTF-8 \
    WINEDLLOVERRIDES="mscoree,mshtml=" timeout 180 wine "$NET_WINE_EXE" --root "Z:${root//\//\\}" \
    "$@" 2>/dev/null | tr -d '\r' | "${decode[@]}"
  return "${PIPESTATUS[0]}"
}

# --cli PATH (native) or --wine-exe PATH [--work DIR for the Wine template].
net_parse_args() {
  NET_CLI="" NET_WINE_EXE="" NET_WORK=/tmp
  while [ $# -gt 1 ] && case $1 in --cli) NET_CLI=$2 ;; --wine-exe) NET_WINE_EXE=$2 ;;
    --work) NET_WORK=$2 ;; *) false ;; esac; do shift 2; done
  [ $# -eq 0 ] && [ -n "$NET_CLI$NET_WINE_EXE" ] ||
    { net_log "usage: --cli PATH | --wine-exe PATH [--work DIR]"; exit 2; }
  [ -z "$NET_WINE_EXE" ] || command -v wine >/dev/null || net_skip_or_fail "wine is not installed"
}

net_setup() {  # [silent]
  [ "$(id -u)" -eq 0 ] || net_skip_or_fail "network-namespace tests need root"
  command -v ip python3 >/dev/null || net_skip_or_fail "needs iproute2 and python3"
  trap net_teardown EXIT; trap 'exit 130' INT TERM
  net_build "$@" || { [ ${#net_created_ns[@]} -gt 0 ] || net_skip_or_fail "no network namespaces here"
    net_log "FAIL: could not build the namespaces"; exit 1; }
  net_listen || { net_log "FAIL: the listener did not start"; exit 1; }
  net_client_tree || { net_log "FAIL: could not write the client tree"; exit 1; }
  [ -n "$NET_WINE_EXE" ] || return 0
  net_wine_prefix "$NET_WORK" || { net_log "FAIL: no Wine prefix"; exit 1; }
  # The server starts here, in the client's namespace, with nothing of ours
  # open; one warm-up run starts Wine's services so that timed runs time the tests.
  nsx "$NS_CLIENT" env WINEPREFIX="$NET_WINE_PREFIX" wineserver -p </dev/null >/dev/null 2>&1
  net_cli "$NET_ROOT" hosts </dev/null >/dev/null 2>&1 ||
    { net_log "FAIL: the CLI does not start under Wine"; exit 1; }
}

net_check() {  # WHAT COMMAND...
  local what=$1; shift
  "$@" && { net_log "ok   $what"; return 0; }
  net_log "FAIL $what"; net_failures=$((net_failures + 1)); return 1
}
