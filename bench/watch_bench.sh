#!/usr/bin/env bash
# watch_bench.sh --cli PATH [--seconds N] [--big-seconds N]: the watch's cost on loopback.
#   1. 20 endpoints (20 loopback addresses, one listening port) at the default intervals for N s
#      (default 60; 600 for the 10-minute figure): CPU % of one core and maximum resident memory
#      (/usr/bin/time -v), and the log's bytes per day projected from its minute records.
#   2. 1,000 endpoints that answer, default intervals, --log-samples, for the big run's seconds
#      (default 30): the latest start of any sample after its slot, and how many were skipped.
# Targets: <= 1 % CPU, <= 30 MB resident, <= 10 MB of log a day; no sample more than 1 s late.
set -u
cli="" seconds=60 big=30
while [ $# -gt 1 ]; do case $1 in --cli) cli=$2 ;; --seconds) seconds=$2 ;; --big-seconds) big=$2 ;;
  *) echo "usage: --cli PATH [--seconds N] [--big-seconds N]" >&2; exit 2 ;; esac; shift 2; done
[ -x "$cli" ] || { echo "usage: --cli PATH [--seconds N] [--big-seconds N]" >&2; exit 2; }
work=$(mktemp -d /tmp/rk-watch-bench.XXXXXX)
listener=""
trap '[ -n "$listener" ] && kill "$listener" 2>/dev/null; rm -rf "$work"' EXIT

# Accepts and closes on 127.0.0.1..20 at PORT for at most an hour.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 - "$port" <<'PY' &
import selectors, signal, socket, sys
signal.alarm(3600)
selector = selectors.DefaultSelector()
for host in range(1, 21):
    server = socket.create_server(("127.0.0.%d" % host, int(sys.argv[1])), backlog=1024)
    server.setblocking(False)
    selector.register(server, selectors.EVENT_READ)
while True:
    for key, _ in selector.select():
        try:
            key.fileobj.accept()[0].close()
        except BlockingIOError:
            pass
PY
listener=$!
sleep 0.5

tree() {  # COUNT: a client tree of COUNT Local entries over the 20 addresses
  mkdir -p "$work/root$1/Sys"
  { printf '[Local]\r\nCount=%d\r\n' "$1"
    for i in $(seq 1 "$1"); do printf 'IP_%d=127.0.0.%d\r\nPort_%d=%d\r\n' "$i" $(( (i - 1) % 20 + 1 )) "$i" "$port"; done
  } >"$work/root$1/Sys/VekTradedesk.ini"
}

tree 20
/usr/bin/time -v "$cli" --root "$work/root20" watch --duration "${seconds}s" --log "$work/20.jsonl" \
  >/dev/null 2>"$work/time20.txt"
cpu=$(sed -n 's/.*Percent of CPU this job got: \([0-9]*\)%.*/\1/p' "$work/time20.txt")
rss=$(sed -n 's/.*Maximum resident set size (kbytes): \([0-9]*\).*/\1/p' "$work/time20.txt")
user=$(sed -n 's/.*User time (seconds): \(.*\)/\1/p' "$work/time20.txt")
system=$(sed -n 's/.*System time (seconds): \(.*\)/\1/p' "$work/time20.txt")
python3 - "$work/20.jsonl" "$seconds" "$user" "$system" "$rss" <<'PY'
import json, sys
path, seconds, user, system, rss = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4]), int(sys.argv[5])
lines = open(path, "rb").read().splitlines()
minutes = [json.loads(l) for l in lines if b'"type":"minute"' in l]
lengths = [len(l) + 1 for l in lines if b'"type":"minute"' in l]
per = sum(lengths) / len(lengths)
# Loopback times fall into one or two histogram buckets; a real path's twelve connects a minute
# may fall into twelve: each further bucket adds some 8 bytes ("[52,1],").
buckets = sum(len(m["hist"]) for m in minutes) / len(minutes)
worst = per + (12 - buckets) * 8
day, worstDay = per * 20 * 1440, worst * 20 * 1440
cpu = (user + system) / seconds * 100
print("20 endpoints, %.0f s: CPU %.2f %% of one core (%.2f s user + %.2f s system), max RSS %.1f MB"
      % (seconds, cpu, user, system, rss / 1024))
print("log: %d bytes in all, %d minute records of %.0f bytes (%.1f buckets) -> %.1f MB per day; "
      "with 12 buckets a minute %.0f bytes -> %.1f MB per day"
      % (sum(map(len, lines)) + len(lines), len(minutes), per, buckets, day / 1e6, worst, worstDay / 1e6))
for what, ok in (("CPU <= 1 %", cpu <= 1), ("RSS <= 30 MB", rss <= 30 * 1024), ("log <= 10 MB/day", worstDay <= 10e6)):
    print(("PASS " if ok else "FAIL ") + what)
PY

tree 1000
"$cli" --root "$work/root1000" watch --duration "${big}s" --log "$work/1000.jsonl" --log-samples >/dev/null 2>&1
python3 - "$work/1000.jsonl" "$big" <<'PY'
import json, sys
samples = [json.loads(l) for l in open(sys.argv[1], "rb") if b'"kind":"connect"' in l]
late = max((s.get("late_ms", 0) for s in samples), default=0)
skipped = sum(s["verdict"] == "skipped" for s in samples)
failed = sum(s["verdict"] not in ("open", "skipped") for s in samples)
print("1000 endpoints, %s s: %d connects, %d skipped, %d failed, the latest %.1f ms after its slot"
      % (sys.argv[2], len(samples), skipped, failed, late))
print(("PASS " if late <= 1000 and skipped == 0 else "FAIL ") + "no sample more than 1 s late, none skipped")
PY
