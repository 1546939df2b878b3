#!/usr/bin/env bash
# trust_bench.sh --cli PATH [--runs N]: 200 endpoints (100 open on the target, 100 dark on 100
# blackholed addresses) over netlib.sh's chain with the delaying link and the kernel's default
# ICMP rate limits, side by side: `reachkit-cli check --timeout-ms 2000` with its diagnosis,
# nmap -sT -Pn -T4 --max-retries 1 (no diagnosis), and a bash loop of parallel /dev/tcp connects
# bounded by the same 2 s. Root only; sends nothing outside the namespaces it builds.
runs=2
args=()
while [ $# -gt 0 ]; do case $1 in --runs) runs=$2; shift 2 ;; *) args+=("$1"); shift ;; esac; done
source "$(dirname "${BASH_SOURCE[0]}")/../tests/net/netlib.sh"
net_parse_args "${args[@]}"
NET_DELAY_MS=15 NET_JITTER_MS=5
net_setup
command -v nmap >/dev/null || { net_log "nmap is not installed (scripts/install-deps.sh)"; exit 1; }

# 100 listening ports on the target, accepting and closing for at most 900 s.
nsx "$NS_TARGET" python3 -c '
import os, select, signal, socket
socks = [socket.create_server(("0.0.0.0", p), backlog=512) for p in range(30000, 30100)]
if os.fork(): os._exit(0)
signal.alarm(900)
while True:
    for s in select.select(socks, [], [])[0]: s.accept()[0].close()
' </dev/null >/dev/null 2>&1
endpoints=()
for i in $(seq 0 99); do endpoints+=("$TARGET_IP:$((30000 + i))" "203.0.113.$((129 + i)):$OPEN_PORT"); done
lines=() n=0
for e in "${endpoints[@]}"; do n=$((n + 1)); lines+=("IP_$n=${e%:*}" "Port_$n=${e##*:}"); done
net_ini Sys/ZentickConSet.ini "[Tradedesk]" "Name="
net_ini Sys/VekTradedesk.ini "[Local]" "Count=$n" "${lines[@]}"
out=$(mktemp /tmp/rk-bench-trust.XXXXXX) && net_temp_dirs+=("$out")
ms() { date +%s%3N; }
row() { printf '| %s | %s | %s |\n' "$@"; }

echo "| tool | wall (ms) | result |"
echo "| --- | --- | --- |"
for run in $(seq "$runs"); do
  sleep 2  # the routers' ICMP budget refills between runs
  start=$(ms); net_cli "$NET_ROOT" check --json --timeout-ms 2000 >"$out"; wall=$(($(ms) - start))
  row "reachkit-cli check --timeout-ms 2000 (diagnosis on), run $run" "$wall" "$(python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
s = d["summary"]
causes = sorted({e["cause"] for e in d["endpoints"] if e["verdict"] != "open"})
print(s["open"], "open,", s["timeout"], "timeout; causes:", causes)' "$out")"
  sleep 2
  start=$(ms)
  nsx "$NS_CLIENT" nmap -sT -Pn -T4 --max-retries 1 -oG - -p 30000-30099 "$TARGET_IP" >"$out" 2>/dev/null &
  first=$!
  nsx "$NS_CLIENT" nmap -sT -Pn -T4 --max-retries 1 -oG - -p "$OPEN_PORT" 203.0.113.129-228 >"$out.2" 2>/dev/null
  wait "$first"; wall=$(($(ms) - start)); net_temp_dirs+=("$out.2")
  row "nmap -sT -Pn -T4 --max-retries 1 (two scans at once), run $run" "$wall" \
    "$(cat "$out" "$out.2" | grep -o '[0-9]*/open/' | wc -l) open, $(cat "$out" "$out.2" | grep -o '[0-9]*/filtered/' | wc -l) filtered"
  sleep 2
  start=$(ms)
  nsx "$NS_CLIENT" bash -c 'for e in "$@"; do
      (timeout 2 bash -c "exec 3<>/dev/tcp/${e%:*}/${e##*:}" 2>/dev/null && echo open || echo closed) &
    done; wait' _ "${endpoints[@]}" >"$out"
  wall=$(($(ms) - start))
  row "bash, 200 parallel /dev/tcp connects (timeout 2), run $run" "$wall" \
    "$(grep -c '^open' "$out") open, $(grep -c '^closed' "$out") not"
done
