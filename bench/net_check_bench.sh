#!/usr/bin/env bash
# net_check_bench.sh --cli PATH: speed of `reachkit-cli check` (root; namespaces of netlib.sh).
#  1. 200 endpoints in the chain (100 blackholed, 50 refused, 50 open) at the real 10 s
#     time-out: done within the time-out + 1 s, never more than 256 sockets open;
#  2. 10,000 loopback endpoints (open and refused) in a namespace of their own: under 2 s;
#  3. the path probe over the chain with its silent router: two 1 s step waits (about 2 s).
source "$(dirname "${BASH_SOURCE[0]}")/../tests/net/netlib.sh"
net_parse_args "$@"
net_setup silent
NS_LOOP="rk-$$-loop"
ip netns add "$NS_LOOP" && net_created_ns+=("$NS_LOOP") && nsx "$NS_LOOP" ip link set lo up || exit 1

# listen NS FIRST_PORT COUNT: accepts and closes on COUNT ports for at most 120 s.
listen() {
  nsx "$1" python3 -c '
import os, select, signal, socket, sys
first, count = int(sys.argv[1]), int(sys.argv[2])
socks = [socket.create_server(("0.0.0.0", p), backlog=4096) for p in range(first, first + count)]
if os.fork(): os._exit(0)
signal.alarm(120)
while True:
    for s in select.select(socks, [], [])[0]: s.accept()[0].close()
' "$2" "$3" </dev/null >/dev/null 2>&1
}
# tree DIR LINE...: a client tree whose Local section holds the "IP PORT" lines given.
tree() {
  local dir=$1 i=0 line; shift
  mkdir -p "$dir/Sys" "$dir/Bin" && net_temp_dirs+=("$dir")
  printf '[Tradedesk]\r\nName=\r\n' >"$dir/Sys/ZentickConSet.ini"
  printf '[Config]\r\nFileName=VekTradedesk.ini\r\n' >"$dir/Sys/O_Tradedesk.ini"
  printf '[DC]\r\nClientToNMPortTry=\r\n' >"$dir/Bin/BaseConfig.ini"
  { printf '[Local]\r\nCount=%d\r\n' $#
    for line in "$@"; do i=$((i + 1)); set -- $line; printf 'IP_%d=%s\r\nPort_%d=%s\r\n' $i "$1" $i "$2"; done
  } >"$dir/Sys/VekTradedesk.ini"
}
field() { python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); print(eval(sys.argv[2]))' "$@"; }
result() { printf '%-52s %s\n' "$1" "$2"; }

# 1. 200 endpoints at the real time-out.
listen "$NS_TARGET" 30000 50
lines=()
for p in $(seq 10000 10099); do lines+=("$BLACKHOLE_IP $p"); done
for p in $(seq 20000 20049); do lines+=("$TARGET_IP $p"); done
for p in $(seq 30000 30049); do lines+=("$TARGET_IP $p"); done
root=/tmp/rk-bench-200.$$ && tree "$root" "${lines[@]}"
out=$(mktemp /tmp/rk-bench.XXXXXX) && net_temp_dirs+=("$out" "$out.max")
for mode in --no-diagnose ""; do
  ( max=0; end=$((SECONDS + 30))
    while [ $SECONDS -lt $end ] && [ ! -e "$out.done" ]; do
      n=$(nsx "$NS_CLIENT" ss -Htn state syn-sent | wc -l); [ "$n" -gt "$max" ] && max=$n
      echo "$max" >"$out.max"; sleep 0.05
    done ) & sampler=$!
  rm -f "$out.done"; start=$(date +%s%3N)
  net_cli "$root" check --json $mode >"$out"; wall=$(($(date +%s%3N) - start)); touch "$out.done"
  wait "$sampler"; net_temp_dirs+=("$out.done")
  result "200 endpoints ${mode:-with diagnosis}: wall $wall ms" \
    "$(field "$out" 'd["summary"]') sockets<=$(cat "$out.max")"
  net_check "  within 11 s, never more than 256 sockets" test "$wall" -le 11000 -a "$(cat "$out.max")" -le 256
done

# 2. 10,000 loopback endpoints: 100 addresses x (50 open + 50 refused ports).
listen "$NS_LOOP" 40000 50
lines=()
for a in $(seq 1 100); do for p in $(seq 40000 40099); do lines+=("127.0.0.$a $p"); done; done
root=/tmp/rk-bench-10k.$$ && tree "$root" "${lines[@]}"
for run in 1 2 3; do
  start=$(date +%s%3N)
  nsx "$NS_LOOP" timeout 60 "$NET_CLI" --root "$root" check --json --no-diagnose >"$out"
  wall=$(($(date +%s%3N) - start))
  result "10,000 loopback endpoints, run $run: wall $wall ms" \
    "check $(field "$out" 'd["duration_ms"]') ms $(field "$out" 'd["summary"]["open"], d["summary"]["refused"]')"
  net_check "  the check under 2 s" test "$(field "$out" 'int(d["duration_ms"])')" -lt 2000
done

# 3. The path probe: a refused port makes the target's address diagnosed; the silent router
# keeps each step waiting 1 s; it is asked twice.
root=/tmp/rk-bench-path.$$ && tree "$root" "$TARGET_IP $REFUSED_PORT"
start=$(date +%s%3N); net_cli "$root" check --json >"$out"; wall=$(($(date +%s%3N) - start))
result "path probe, 3 routers (r2 silent) + target: wall $wall ms" \
  "$(field "$out" '[(h["ttl"], h["address"]) for h in d["addresses"][0]["path"]["hops"]]')"
took=$(field "$out" 'int(d["duration_ms"])')
result "  the check itself" "$took ms"
net_check "  two 1 s step waits (the silent hop asked twice), not 4 x 3 s" test "$took" -ge 1900 -a "$took" -le 3500

[ "$net_failures" -eq 0 ] && echo PASS || { echo "FAIL: $net_failures"; exit 1; }
