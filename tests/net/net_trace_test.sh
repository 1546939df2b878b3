#!/usr/bin/env bash
# TraceRT through three routers, the middle one silent: each hop's address in
# order, the silent router's time-out line after the real 3000 ms wait, the
# trace going on past it, and "目標到達" once the target answers. Natively over
# both kinds of ICMP socket (ping socket where ping_group_range allows, raw
# socket otherwise); the Windows build through Wine's ICMP.DLL.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/netlib.sh"
net_parse_args "$@"
net_setup silent

out=$(mktemp /tmp/rk-net-out.XXXXXX)
net_temp_dirs+=("$out")

trace_checks() {
  local label=$1
  net_timed_cli "$out" "$NET_ROOT" trace 0
  net_check "$label: exit code 0" test "$NET_EXIT" -eq 0
  net_expect_lines "$label: hops in order, the silent one timed out" "$out" \
    "TraceRT $TARGET_RE \[$TARGET_RE\]" \
    "第1個路由器，IP地址：${R1_RE}用時：[0-9]+毫秒" \
    "第2個路由器，要求等候逾時 Err=11010" \
    "第3個路由器，IP地址：${R3_RE}用時：[0-9]+毫秒" \
    "第4個路由器，IP地址：${TARGET_RE}用時：[0-9]+毫秒" \
    "目標到達"
  # One probe waited the full echo time-out; the others answered at once.
  net_expect_between "$label: trace time in ms" "$NET_ELAPSED_MS" 3000 6000
}

if [ -n "$NET_WINE_EXE" ]; then
  trace_checks "wine"
else
  nsx "$NS_CLIENT" sysctl -qw net.ipv4.ping_group_range="1 0"
  trace_checks "raw socket"
  nsx "$NS_CLIENT" sysctl -qw net.ipv4.ping_group_range="0 2147483647"
  trace_checks "ping socket"
fi
net_finish
