#!/usr/bin/env bash
# Speed of `reachkit-cli rank` over the namespace chain of tests/net/netlib.sh (root only):
#   1. 10 locations x 10 rounds, each answering in about 90 ms (RTT through the delaying link),
#      take at most 5 s (a whole CLI run, process start included);
#   2. the same with an eleventh, dark location (blackholed): it costs the time-out once, not
#      once per round: at most the time-out + 1 s, with --timeout-ms 3000 and the real 10 s.
#
# usage: bench/rank_bench.sh --cli PATH/TO/reachkit-cli [--runs N]
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../tests/net/netlib.sh"
runs=5 args=()
while [ $# -gt 0 ]; do
  case $1 in --runs) runs=$2; shift 2 ;; *) args+=("$1"); shift ;; esac
done
net_parse_args "${args[@]}"
[ -z "$NET_WINE_EXE" ] || { net_log "the benchmark measures the native build"; exit 2; }
delays=() names=() sections=()
for i in $(seq 10); do  # 203.0.113.17 to .26 on the target, routed by r3: 40..49 ms one way
  a=203.0.113.$((i + 16))
  delays+=("$a:$((39 + i))") names+=("L$i") sections+=("[L$i]" "NMIP=$a")
done
NET_DELAY_MS=0 NET_JITTER_MS=1 NET_DELAY_BY_DST=$(IFS=,; echo "${delays[*]}")
net_setup
for i in $(seq 10); do nsx "$NS_TARGET" ip addr add "203.0.113.$((i + 16))/32" dev eth0; done
nsx "$NS_R3" ip route add 203.0.113.16/28 via 203.0.113.2 || { net_log "FAIL: no route to the locations"; exit 1; }
net_ini Bin/BaseConfig.ini "[DC]" "ClientToNMPortTry=$OPEN_PORT"
fail=0
# one CASE LIMIT_MS NAMES SECTIONS...: `runs` runs, their times, the slowest against LIMIT_MS.
one() {
  local what=$1 limit=$2 timeout=$3 names=$4; shift 4
  net_ini Sys/ZentickConSet.ini "[Tradedesk]" "Name=$names" "$@"
  local times=() run out=/tmp/rk-rank-bench.$$
  for run in $(seq "$runs"); do
    net_run "$out" rank --rounds 10 --timeout-ms "$timeout"
    times+=("$ELAPSED_MS")
    [ "$run" != 1 ] || sed 's/^/    /' "$out" | iconv -f CP950 -t UTF-8 >&2
  done
  rm -f "$out"
  local worst; worst=$(printf '%s\n' "${times[@]}" | sort -n | tail -1)
  local verdict=PASS; [ "$worst" -le "$limit" ] || { verdict=FAIL; fail=1; }
  printf '%s: %s: %s ms (runs: %s; limit %s ms)\n' "$verdict" "$what" "$worst" "${times[*]}" "$limit"
}
all=$(IFS=,; echo "${names[*]}")
one "10 locations x 10 rounds, ~90 ms each" 5000 10000 "$all" "${sections[@]}"
one "the same and a dark location, time-out 3 s" 4000 3000 "$all,Dark" "${sections[@]}" "[Dark]" "NMIP=$BLACKHOLE_IP"
runs=1 one "the same and a dark location, time-out 10 s" 11000 10000 "$all,Dark" "${sections[@]}" "[Dark]" "NMIP=$BLACKHOLE_IP"
exit $fail
