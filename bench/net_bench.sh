#!/usr/bin/env bash
# Speed of the network tests on a routed chain of namespaces (root only):
#   1. a refused TCP port is reported in under 50 ms (whole CLI run);
#   2. a trace over three answering routers to the target takes under
#      3 x RTT + 50 ms and names the same routers as `traceroute -I`;
#   3. Ping's times are within 1 ms of iputils ping's on the same path.
# The path gets a delay (20 ms by default, --delay-ms N): with netem on
# r1's links where the kernel has it; otherwise (as on this project's
# machines) the target's kernel stops answering echoes and a user-space
# responder in the target's namespace answers each one after the delay.
#
# usage: bench/net_bench.sh --cli PATH/TO/reachkit-cli [--runs N] [--delay-ms N]
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../tests/net/netlib.sh"

runs=15
delay_ms=20
args=()
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --delay-ms) delay_ms=$2; shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done
net_parse_args "${args[@]}"
[ -z "$NET_WINE_EXE" ] || { net_log "the benchmark measures the native build"; exit 2; }
net_setup

# Echo replies from the target after `delay_ms`, each on a timer of its own
# so that overlapping echoes do not queue; ends by itself.
start_delayed_responder() {
  nsx "$NS_TARGET" sysctl -qw net.ipv4.icmp_echo_ignore_all=1 || return 1
  ip netns exec "$NS_TARGET" python3 -c '
import socket, struct, sys, threading, time
delay = float(sys.argv[1]) / 1000.0
end = time.monotonic() + float(sys.argv[2])
s = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
s.settimeout(0.2)
def checksum(b):
    if len(b) % 2:
        b += b"\0"
    total = sum(struct.unpack("!%dH" % (len(b) // 2), b))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF
while time.monotonic() < end:
    try:
        data, peer = s.recvfrom(4096)
    except socket.timeout:
        continue
    message = bytearray(data[(data[0] & 15) * 4:])
    if len(message) < 8 or message[0] != 8:
        continue
    message[0] = 0
    message[2:4] = b"\0\0"
    message[2:4] = struct.pack("!H", checksum(bytes(message)))
    threading.Timer(delay, s.sendto, (bytes(message), (peer[0], 0))).start()
' "$delay_ms" 300 </dev/null >/dev/null 2>&1 &
  net_pids+=($!)
  sleep 0.3
}

delay_how="none"
if [ "$delay_ms" -gt 0 ]; then
  if nsx "$NS_R1" tc qdisc add dev west root netem delay "${delay_ms}ms" 2>/dev/null; then
    nsx "$NS_R1" tc qdisc add dev east root netem delay "${delay_ms}ms"
    delay_how="netem, ${delay_ms} ms each way on r1's two links"
  else
    start_delayed_responder || { net_log "could not start the delayed responder"; exit 1; }
    delay_how="no netem in this kernel: the target answers echoes ${delay_ms} ms late from user space"
  fi
fi
echo "path delay: $delay_how"

verdicts=()
verdict() {  # NAME PASS?
  if [ "$2" = 1 ]; then verdicts+=("PASS $1"); else verdicts+=("FAIL $1"); fi
}

# Median of integers on stdin.
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
# Microseconds since the epoch.
now_us() { date +%s%6N; }

# Runs the CLI `runs` times (after one warm-up); prints each run's microseconds.
time_cli_runs() {
  local i start
  net_cli "$NET_ROOT" "$@" >/dev/null
  for i in $(seq 1 "$runs"); do
    start=$(now_us)
    net_cli "$NET_ROOT" "$@" >/dev/null
    echo $(($(now_us) - start))
  done
}

echo "== 1. refused port (host 3: the target, port $REFUSED_PORT only), $runs runs"
refused_us=$(time_cli_runs telnet 3 | median)
# For scale: the same process doing nothing but listing the hosts.
idle_us=$(time_cli_runs hosts | median)
printf '   telnet run, median: %d.%03d ms (a CLI run listing hosts: %d.%03d ms)\n' \
  $((refused_us / 1000)) $((refused_us % 1000)) $((idle_us / 1000)) $((idle_us % 1000))
verdict "refused port < 50 ms" $([ "$refused_us" -lt 50000 ] && echo 1 || echo 0)

echo "== 2. trace over three answering routers to the target, $runs runs"
rtt_ms=$(nsx "$NS_CLIENT" ping -n -q -c 10 -i 0.05 "$TARGET_IP" | awk -F'/' '/^rtt/ { print $5 }')
trace_us=$(time_cli_runs trace 0 | median)
bound_us=$(awk -v r="$rtt_ms" 'BEGIN { printf "%d", (3 * r + 50) * 1000 }')
printf '   RTT to the target (iputils ping, mean): %s ms\n' "$rtt_ms"
printf '   trace run, median: %d.%03d ms; bound 3 x RTT + 50 ms = %d.%03d ms\n' \
  $((trace_us / 1000)) $((trace_us % 1000)) $((bound_us / 1000)) $((bound_us % 1000))
verdict "trace < 3 x RTT + 50 ms" $([ "$trace_us" -lt "$bound_us" ] && echo 1 || echo 0)

ours=$(net_cli "$NET_ROOT" trace 0 | sed -n 's/^第[0-9]*個路由器，IP地址：\([0-9.]*\)用時.*/\1/p' | paste -sd' ')
theirs=$(nsx "$NS_CLIENT" traceroute -I -n -q 1 -w 1 -m 8 "$TARGET_IP" | awk 'NR > 1 { print $2 }' | paste -sd' ')
printf '   our hops:          %s\n   traceroute -I hops: %s\n' "$ours" "$theirs"
verdict "same routers as traceroute -I" $([ -n "$ours" ] && [ "$ours" = "$theirs" ] && echo 1 || echo 0)

echo "== 3. ping times against iputils ping (5 echoes each, run side by side)"
ours_file=$(mktemp /tmp/rk-net-bench.XXXXXX)
theirs_file=$(mktemp /tmp/rk-net-bench.XXXXXX)
net_temp_dirs+=("$ours_file" "$theirs_file")
net_cli "$NET_ROOT" ping 0 | sed -n 's/.*time: \([0-9]*\) ms$/\1/p' >"$ours_file" &
nsx "$NS_CLIENT" ping -n -c 5 -i 1 "$TARGET_IP" | sed -n 's/.*time=\([0-9.]*\) ms$/\1/p' >"$theirs_file"
wait
printf '   ours (whole ms):   %s\n   iputils ping (ms): %s\n' "$(paste -sd' ' "$ours_file")" "$(paste -sd' ' "$theirs_file")"
within=$(paste "$ours_file" "$theirs_file" | awk '
  NF == 2 { n++; d = $1 - $2; if (d < 0) d = -d; if (d <= 1) ok++ }
  END { print (n == 5 && ok == n) ? 1 : 0 }')
verdict "every echo within 1 ms of iputils ping" "$within"

echo
printf '%s\n' "${verdicts[@]}"
failed=$(printf '%s\n' "${verdicts[@]}" | grep -c '^FAIL')
echo "net bench: $((${#verdicts[@]} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
