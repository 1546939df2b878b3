# Shared by the network-namespace tests and the benchmark: builds a small
# routed network of namespaces, starts a TCP listener on its target, writes a
# client tree that names the target, and runs reachkit-cli (native, or the
# Windows build under Wine) inside the client's namespace. Source it.
#
#   client 192.0.2.1 --- .2 r1 198.51.100.1 --- .2 r2 198.51.100.5 --- .6 r3 203.0.113.1 --- .2 target
#          192.0.2.0/30       198.51.100.0/30       198.51.100.4/30       203.0.113.0/29
#
# r2 can be made silent: it forwards but sends no ICMP of its own. r3 drops
# everything for 203.0.113.64/29 without a word (a blackhole route), so a TCP
# handshake there never gets an answer.
#
# Every name begins with rk-<pid>-, everything is removed by net_teardown
# (installed as an EXIT trap by net_setup), and every wait is bounded.

NET_SKIP=77
net_prefix="rk-$$-"
NS_CLIENT="${net_prefix}client"
NS_R1="${net_prefix}r1"
NS_R2="${net_prefix}r2"
NS_R3="${net_prefix}r3"
NS_TARGET="${net_prefix}target"
NET_ALL_NS=("$NS_CLIENT" "$NS_R1" "$NS_R2" "$NS_R3" "$NS_TARGET")

CLIENT_IP=192.0.2.1
R1_IP=192.0.2.2          # r1 as the client sees it
R2_IP=198.51.100.2       # r2 as r1 sees it
R3_IP=198.51.100.6       # r3 as r2 sees it
TARGET_IP=203.0.113.2
BLACKHOLE_IP=203.0.113.66
# The same as regular expressions for the checks.
TARGET_RE=${TARGET_IP//./\\.}
R1_RE=${R1_IP//./\\.}
R3_RE=${R3_IP//./\\.}
BLACKHOLE_RE=${BLACKHOLE_IP//./\\.}
OPEN_PORT=8443
REFUSED_PORT=8001

net_failures=0
net_created_ns=()
net_pids=()
net_temp_dirs=()
net_wine_prefixes=()

net_log() { printf '%s\n' "$*" >&2; }

# Not root (or no namespaces here): skip with the reason, except in CI.
net_skip_or_fail() {
  if [ "${CI:-}" = "true" ]; then
    net_log "FAIL: $* (CI=true: network tests must run)"
    exit 1
  fi
  net_log "SKIP: $*"
  exit "$NET_SKIP"
}

net_require() {
  [ "$(id -u)" -eq 0 ] || net_skip_or_fail "network-namespace tests need root"
  command -v ip >/dev/null || net_skip_or_fail "iproute2 (ip) is not installed"
  command -v python3 >/dev/null || net_skip_or_fail "python3 is not installed"
}

net_teardown() {
  local pid prefix ns
  for pid in "${net_pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  for prefix in "${net_wine_prefixes[@]}"; do
    WINEPREFIX="$prefix" timeout 20 wineserver -k 2>/dev/null
  done
  # Whatever still runs inside our namespaces was started here; it goes
  # with them.
  for ns in "${net_created_ns[@]}"; do
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill "$pid" 2>/dev/null; done
  done
  for ns in "${net_created_ns[@]}"; do ip netns del "$ns" 2>/dev/null; done
  for prefix in "${net_temp_dirs[@]}"; do rm -rf "$prefix"; done
  net_pids=() net_wine_prefixes=() net_created_ns=() net_temp_dirs=()
}

nsx() { local ns=$1; shift; ip netns exec "$ns" "$@"; }

net_add_ns() {
  ip netns add "$1" || return 1
  net_created_ns+=("$1")
  nsx "$1" ip link set lo up
}

# net_link NS_A IF_A ADDR_A/LEN NS_B IF_B ADDR_B/LEN
net_link() {
  local a=$1 ifa=$2 addra=$3 b=$4 ifb=$5 addrb=$6
  local tmpa="rk$$${ifa}" tmpb="rk$$${ifb}"
  ip link add "${tmpa:0:15}" type veth peer name "${tmpb:0:15}" || return 1
  ip link set "${tmpa:0:15}" netns "$a" && ip link set "${tmpb:0:15}" netns "$b" || return 1
  nsx "$a" ip link set "${tmpa:0:15}" name "$ifa" && nsx "$b" ip link set "${tmpb:0:15}" name "$ifb" || return 1
  nsx "$a" ip addr add "$addra" dev "$ifa" && nsx "$b" ip addr add "$addrb" dev "$ifb" || return 1
  nsx "$a" ip link set "$ifa" up && nsx "$b" ip link set "$ifb" up
}

# net_build [silent]: the chain above; with "silent", r2 sends no ICMP.
net_build() {
  local silent=${1:-}
  local ns
  for ns in "${NET_ALL_NS[@]}"; do net_add_ns "$ns" || return 1; done
  net_link "$NS_CLIENT" eth0 192.0.2.1/30    "$NS_R1" west 192.0.2.2/30 || return 1
  net_link "$NS_R1" east 198.51.100.1/30     "$NS_R2" west 198.51.100.2/30 || return 1
  net_link "$NS_R2" east 198.51.100.5/30     "$NS_R3" west 198.51.100.6/30 || return 1
  net_link "$NS_R3" east 203.0.113.1/29      "$NS_TARGET" eth0 203.0.113.2/29 || return 1
  for ns in "$NS_R1" "$NS_R2" "$NS_R3"; do
    nsx "$ns" sysctl -qw net.ipv4.ip_forward=1 || return 1
    # Answers at full speed: the kernel's ICMP rate limits would turn a
    # quick series of probes into false time-outs.
    nsx "$ns" sysctl -qw net.ipv4.icmp_ratelimit=0 net.ipv4.icmp_msgs_per_sec=100000 2>/dev/null
  done
  nsx "$NS_CLIENT" ip route add default via 192.0.2.2 || return 1
  nsx "$NS_R1" ip route add default via 198.51.100.2 || return 1
  nsx "$NS_R2" ip route add 192.0.2.0/30 via 198.51.100.1 || return 1
  nsx "$NS_R2" ip route add default via 198.51.100.6 || return 1
  nsx "$NS_R3" ip route add 192.0.2.0/30 via 198.51.100.5 || return 1
  nsx "$NS_R3" ip route add 198.51.100.0/30 via 198.51.100.5 || return 1
  nsx "$NS_R3" ip route add blackhole 203.0.113.64/29 || return 1
  nsx "$NS_TARGET" ip route add default via 203.0.113.1 || return 1
  if [ "$silent" = "silent" ]; then
    # No iptables here, and the ICMP rate-limit sysctls always let a burst
    # through. A policy rule does it exactly: packets that r2 itself sends
    # (iif lo) with protocol ICMP find only a blackhole route, so its
    # time-exceeded reports (and echo replies) are dropped before they leave,
    # while every packet it forwards (iif west/east) is routed as usual.
    nsx "$NS_R2" ip rule add pref 100 iif lo ipproto icmp blackhole || return 1
  fi
}

# A TCP listener on the target's OPEN_PORT that accepts and closes, for at
# most `seconds`; waits (bounded) until it listens.
net_listen() {
  local seconds=${1:-300}
  # Started directly (not through a function) so that $! is the listener
  # itself, and with its output closed so that it holds no pipe of the
  # caller's.
  ip netns exec "$NS_TARGET" python3 -c '
import socket, sys, time
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("0.0.0.0", int(sys.argv[1])))
s.listen(32)
s.settimeout(0.5)
end = time.monotonic() + float(sys.argv[2])
while time.monotonic() < end:
    try:
        c, _ = s.accept()
        c.close()
    except socket.timeout:
        pass
' "$OPEN_PORT" "$seconds" </dev/null >/dev/null 2>&1 &
  net_pids+=($!)
  local i
  for i in $(seq 1 50); do
    nsx "$NS_TARGET" ss -Hltn "sport = :$OPEN_PORT" | grep -q LISTEN && return 0
    sleep 0.1
  done
  net_log "the listener did not start"
  return 1
}

# A client tree. Its hosts, by index:
#   0 Order1: the target, on the shared ports REFUSED, OPEN, 9000
#   1 Quote1: r3
#   2 Local 1: a host in the blackhole, port OPEN
#   3 Local 2: the target, port REFUSED only
# Files are code page 950 with CRLF, as the client writes them. Sets NET_ROOT.
net_client_tree() {
  local root
  root=$(mktemp -d /tmp/rk-net-client.XXXXXX) || return 1
  net_temp_dirs+=("$root")
  mkdir -p "$root/Sys" "$root/Bin" "$root/Tools"
  python3 - "$root" "$TARGET_IP" "$R3_IP" "$BLACKHOLE_IP" "$REFUSED_PORT" "$OPEN_PORT" <<'PY' || return 1
import os, sys
root, target, r3, blackhole, refused, open_port = sys.argv[1:]
def write(rel, text):
    with open(os.path.join(root, rel), "wb") as f:
        f.write(text.replace("\n", "\r\n").encode("cp950"))
write("Sys/ZentickConSet.ini",
      f"[Tradedesk]\nName=Order1,Quote1\n\n[Order1]\nNMIP={target}\n\n[Quote1]\nNMIP={r3}\n")
write("Sys/O_Tradedesk.ini", "[Config]\nFileName=VekTradedesk.ini\n")
write("Sys/VekTradedesk.ini",
      f"[Local]\nCount=2\nIP_1={blackhole}\nPort_1={open_port}\nIP_2={target}\nPort_2={refused}\n")
write("Bin/BaseConfig.ini", f"[DC]\nClientToNMPortTry={refused}, {open_port}, 9000\n")
PY
  NET_ROOT=$root
}

# Windows build: a prefix of its own per test, copied from a booted template
# (booting one takes long), so that its wineserver and ICMP helper start in
# the client's namespace with the first program run there. Sets
# NET_WINE_PREFIX.
net_wine_prefix() {
  local work=$1 template="$1/net-wine-template" copy
  mkdir -p "$work"
  (
    flock -w 300 9 || exit 1
    if [ ! -f "$template/system.reg" ]; then
      rm -rf "$template"
      mkdir -p "$template"
      WINEPREFIX="$template" WINEDEBUG=-all LC_ALL=zh_TW.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml=" \
        timeout 300 wineboot -i >/dev/null 2>&1
      WINEPREFIX="$template" timeout 60 wineserver -w 2>/dev/null || true
      # Usually gone by now: a failing kill must not fail the boot.
      WINEPREFIX="$template" wineserver -k 2>/dev/null || true
    fi
  ) 9>"$work/net-wine-template.lock" || return 1
  [ -f "$template/system.reg" ] || { net_log "could not boot a Wine prefix"; return 1; }
  copy=$(mktemp -d /tmp/rk-net-wine.XXXXXX) || return 1
  # Hard links where the file system allows (the prefix is large and its
  # files are replaced, not rewritten in place); the server's own note of its
  # socket folder belongs to the template's server and is left out.
  cp -al "$template/." "$copy/" 2>/dev/null || cp -a "$template/." "$copy/" || return 1
  rm -f "$copy/wineserver"
  net_wine_prefixes+=("$copy")
  net_temp_dirs+=("$copy")
  NET_WINE_PREFIX=$copy
}

# net_cli ROOT ARGS...: reachkit-cli in the client's namespace, stdout as
# UTF-8 lines (LF). Uses NET_CLI (native) or NET_WINE_EXE + NET_WINE_PREFIX.
net_cli() {
  local root=$1; shift
  if [ -n "${NET_WINE_EXE:-}" ]; then
    local winroot="Z:${root//\//\\}"
    nsx "$NS_CLIENT" env WINEPREFIX="$NET_WINE_PREFIX" WINEDEBUG=-all LC_ALL=zh_TW.UTF-8 \
      WINEDLLOVERRIDES="mscoree,mshtml=" timeout 180 wine "$NET_WINE_EXE" --root "$winroot" "$@" |
      tr -d '\r' | iconv -f CP950 -t UTF-8
    return "${PIPESTATUS[0]}"
  else
    nsx "$NS_CLIENT" timeout 180 "$NET_CLI" --root "$root" "$@"
  fi
}

# Options every test script takes: --cli PATH (native) or --wine-exe PATH
# (Windows build) and --work DIR (room for the Wine template prefix).
net_parse_args() {
  NET_CLI="" NET_WINE_EXE="" NET_WORK=""
  while [ $# -gt 0 ]; do
    case $1 in
      --cli) NET_CLI=$2; shift 2 ;;
      --wine-exe) NET_WINE_EXE=$2; shift 2 ;;
      --work) NET_WORK=$2; shift 2 ;;
      *) net_log "unknown option $1"; exit 2 ;;
    esac
  done
  if [ -z "$NET_CLI" ] && [ -z "$NET_WINE_EXE" ]; then net_log "need --cli or --wine-exe"; exit 2; fi
  if [ -n "$NET_WINE_EXE" ]; then
    command -v wine >/dev/null || net_skip_or_fail "wine is not installed"
    NET_WORK=${NET_WORK:-/tmp}
  fi
}

# net_setup [silent]: checks, topology, listener, and the Wine prefix if needed.
net_setup() {
  net_require
  trap net_teardown EXIT
  trap 'exit 130' INT TERM
  if ! ip netns add "${net_prefix}probe" 2>/dev/null; then
    net_skip_or_fail "cannot create network namespaces here"
  fi
  ip netns del "${net_prefix}probe"
  net_build "$@" || { net_log "FAIL: could not build the namespaces"; exit 1; }
  net_listen || exit 1
  net_client_tree || { net_log "FAIL: could not write the client tree"; exit 1; }
  if [ -n "${NET_WINE_EXE:-}" ]; then
    net_wine_prefix "$NET_WORK" || { net_log "FAIL: no Wine prefix"; exit 1; }
    # The prefix's server (and with it the ICMP helper) starts here, in the
    # client's namespace, and stays until the teardown; one run warms it up
    # so that the timed runs measure the tests, not Wine's start.
    nsx "$NS_CLIENT" env WINEPREFIX="$NET_WINE_PREFIX" WINEDEBUG=-all wineserver -p \
      </dev/null >/dev/null 2>&1
    net_cli "$NET_ROOT" hosts >/dev/null || { net_log "FAIL: the CLI does not start under Wine"; exit 1; }
  fi
}

net_check() {
  local what=$1; shift
  if "$@"; then
    net_log "ok   $what"
  else
    net_log "FAIL $what"
    net_failures=$((net_failures + 1))
  fi
}

# Milliseconds since the epoch.
net_now_ms() { date +%s%3N; }

net_finish() {
  if [ "$net_failures" -gt 0 ]; then
    net_log "$net_failures check(s) failed"
    exit 1
  fi
  net_log "all checks passed"
  exit 0
}

# net_expect_lines WHAT FILE REGEX...: FILE holds exactly one line per REGEX,
# in this order, each matching its (extended) REGEX from start to end.
net_expect_lines() {
  local what=$1 file=$2; shift 2
  local -a lines
  mapfile -t lines <"$file"
  local ok=1 i
  if [ "${#lines[@]}" -ne $# ]; then
    ok=0
  else
    i=0
    for pattern in "$@"; do
      [[ ${lines[$i]} =~ ^${pattern}$ ]] || ok=0
      i=$((i + 1))
    done
  fi
  if [ $ok -eq 1 ]; then
    net_log "ok   $what"
  else
    net_log "FAIL $what: expected $# lines matching"
    printf '       %s\n' "$@" >&2
    net_log "     got ${#lines[@]}:"
    printf '       %s\n' "${lines[@]}" >&2
    net_failures=$((net_failures + 1))
  fi
}

# net_expect_between WHAT VALUE LOW HIGH
net_expect_between() {
  local what=$1 value=$2 low=$3 high=$4
  net_check "$what ($value, expected $low..$high)" test "$value" -ge "$low" -a "$value" -le "$high"
}

# net_timed_cli OUT ROOT ARGS...: runs the CLI, its lines into OUT; sets
# NET_ELAPSED_MS and NET_EXIT.
net_timed_cli() {
  local out=$1; shift
  local start
  start=$(net_now_ms)
  net_cli "$@" >"$out"
  NET_EXIT=${PIPESTATUS[0]}
  NET_ELAPSED_MS=$(($(net_now_ms) - start))
}
