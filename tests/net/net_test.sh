#!/usr/bin/env bash
# net_test.sh ping|trace|telnet --cli PATH | --wine-exe PATH --work DIR: reachkit-cli (native, or
# the Windows build under Wine) in the client's namespace of netlib.sh's chain; lines and timing.
source "$(dirname "${BASH_SOURCE[0]}")/netlib.sh"
what=$1; shift
net_parse_args "$@"
net_setup $([ "$what" = trace ] && echo silent)
out=$(mktemp /tmp/rk-net-out.XXXXXX) && net_temp_dirs+=("$out")

# expect WHAT FILE LOW_MS HIGH_MS REGEX...: the run took LOW..HIGH ms, exited
# with WANT_EXIT (0 unless set: the target answered) and wrote one line per REGEX, in order,
# each matching whole.
expect() {
  local what=$1 file=$2 low=$3 high=$4 re i=0 ok=1 lines; shift 4
  mapfile -t lines <"$file"
  [ "${#lines[@]}" -eq $# ] && [ "$EXIT" = "${WANT_EXIT:-0}" ] || ok=0
  for re in "$@"; do [[ ${lines[i++]} =~ ^${re}$ ]] || ok=0; done
  net_check "$what" test $ok = 1 || { printf '     want %s\n' "$@"; printf '     got  %s\n' "${lines[@]}"; } >&2
  net_check "$what: $ELAPSED_MS ms, expected $low..$high" test "$ELAPSED_MS" -ge "$low" -a "$ELAPSED_MS" -le "$high"
}
header() { echo "$1 ${2:-$TARGET_RE} \[${2:-$TARGET_RE}\]"; }
hop() { echo "第$1個路由器，IP地址：$2用時：[0-9]+毫秒"; }
echo_line() { echo "32 bytes from $TARGET_RE: icmp_seq = $1\. time: [0-9]+ ms"; }

case $what in
ping)
  net_run "$out" ping 0
  expect "ping: five answered echoes 1 s apart, then the end line" "$out" 4900 8000 "$(header Ping)" \
    "$(echo_line 0)" "$(echo_line 1)" "$(echo_line 2)" "$(echo_line 3)" "$(echo_line 4)" "End " ;;
trace)
  # Natively over both kinds of ICMP socket; under Wine through its ICMP.DLL.
  for kind in ${NET_WINE_EXE:+wine} ${NET_CLI:+raw ping}; do
    [ "$kind" = wine ] || nsx "$NS_CLIENT" sysctl -qw \
      net.ipv4.ping_group_range="$([ "$kind" = raw ] && echo 1 0 || echo 0 2147483647)"
    net_run "$out" trace 0
    expect "trace ($kind): hops in order, one real 3000 ms time-out" "$out" 3000 6000 \
      "$(header TraceRT)" "$(hop 1 "$R1_RE")" "第2個路由器，要求等候逾時 Err=11010" \
      "$(hop 3 "$R3_RE")" "$(hop 4 "$TARGET_RE")" "目標到達"
  done ;;
telnet)
  # Refused and open, and the stop at the first port that connects, are the unit tests'; here the
  # product's real 10 s limit on a host that never answers.
  net_run "$out" telnet 2
  WANT_EXIT=1 expect "telnet: the blackholed port fails after the real 10 s" "$out" 9900 13000 \
    "$(header Telnet "$BLACKHOLE_RE")" "連線失敗，$BLACKHOLE_RE：$OPEN_PORT" ;;
*) net_log "unknown test $what"; exit 2 ;;
esac
[ "$net_failures" -eq 0 ] || { net_log "$net_failures check(s) failed"; exit 1; }
net_log "all checks passed"
