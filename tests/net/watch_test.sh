#!/usr/bin/env bash
# watch_test.sh --cli PATH: one `watch` of the target's open port over netlib.sh's chain with the
# delaying link, through three outages made at known times (some 70 s in all):
#   5 s   the target refuses the port (an nft reject)           -> broker_host
#   10 s  r3 blackholes the target (a dark router beyond r2)   -> internet_path, beyond router 2
#   30 s  r1 blackholes the client (the gateway goes dark)      -> local_network
# Each must be found once, start within 1.5 s of when the rule can first see it (the second
# refused connect's end; the last echo answer + 3 s), and be placed as above.
source "$(dirname "${BASH_SOURCE[0]}")/netlib.sh"
net_parse_args "$@"
[ -z "$NET_WINE_EXE" ] || { net_log "watch_test.sh runs natively only"; exit 2; }
command -v nft >/dev/null || net_skip_or_fail "nft is not installed"
NET_DELAY_MS=10 NET_JITTER_MS=2
net_setup
work=$(mktemp -d /tmp/rk-net-watch.XXXXXX) && net_temp_dirs+=("$work")
net_locals "$TARGET_IP:$OPEN_PORT"

now_ms() { date +%s%3N; }
nsx "$NS_CLIENT" timeout 150 "$NET_CLI" --root "$NET_ROOT" watch --duration 68s --interval-ms 1000 \
  --log "$work/watch.jsonl" --log-samples >"$work/out.txt" 2>"$work/err.txt" &
watch_pid=$!
net_pids+=("$watch_pid")
sleep 5  # echoes answered for a while: the echo rule is armed

t1=$(now_ms)
nsx "$NS_TARGET" nft -f - <<<"table inet rkw { chain in { type filter hook input priority 0;
  tcp dport $OPEN_PORT reject with tcp reset; }; }" || { net_log "FAIL: nft"; exit 1; }
sleep 5; nsx "$NS_TARGET" nft delete table inet rkw
sleep 5  # back up at the next connect; the routers' report budgets refill meanwhile

t2=$(now_ms)
nsx "$NS_R3" ip route add blackhole "$TARGET_IP/32" || { net_log "FAIL: r3 route"; exit 1; }
sleep 10; nsx "$NS_R3" ip route del blackhole "$TARGET_IP/32"
sleep 5

t3=$(now_ms)
nsx "$NS_R1" ip route add blackhole 192.0.2.1/32 || { net_log "FAIL: r1 route"; exit 1; }
sleep 30; nsx "$NS_R1" ip route del blackhole 192.0.2.1/32

wait "$watch_pid"; code=$?
net_check "the watch ends with 1 (outages seen), exit $code" test "$code" = 1
sed 's/^/     /' "$work/out.txt" | grep -E 'outage|paused' >&2

python3 - "$work/watch.jsonl" "$t1" "$t2" "$t3" "$TARGET_IP" <<'PY' || net_failures=$((net_failures + 1))
import json, sys, datetime
path, t1, t2, t3, target = sys.argv[1], *(int(a) / 1000 for a in sys.argv[2:5]), sys.argv[5]
def ts(text):
    return datetime.datetime.strptime(text, "%Y-%m-%dT%H:%M:%S.%fZ").replace(
        tzinfo=datetime.timezone.utc).timestamp()
records = [json.loads(line) for line in open(path, encoding="utf-8")]
outages = {}
for r in records:
    if r["type"].startswith("outage_"):
        outages.setdefault(r["id"], {}).update(r)
connects = [(ts(r["t"]), r["ms"], r["verdict"]) for r in records if r["type"] == "sample" and r["kind"] == "connect"]
echoes = [(ts(r["t"]), r["ms"]) for r in records
          if r["type"] == "sample" and r["kind"] == "echo" and r["address"] == target and r["verdict"] == "answered"]
failed = 0
def check(what, ok):
    global failed
    print(("ok   " if ok else "FAIL ") + what, file=sys.stderr)
    failed += not ok
check("three outages (%d)" % len(outages), len(outages) == 3)
for (toggled, length, place), outage in zip(((t1, 5, "broker_host"), (t2, 10, "internet_path"),
                                            (t3, 30, "local_network")), sorted(outages.values(), key=lambda o: o["start"])):
    start = ts(outage["start"])
    if outage["by"] == "connect":  # the end of the second failed connect after the change
        after = [c for c in connects if c[0] >= toggled - 0.05 and c[2] != "open"]
        seen = after[1][0] + after[1][1] / 1000 if len(after) > 1 else float("nan")
    else:  # the echo rule: 3 s after the last answer before the change
        answers = [e[0] + e[1] / 1000 for e in echoes if e[0] + e[1] / 1000 <= toggled + 0.05]
        seen = answers[-1] + 3 if answers else float("nan")
    check("%2d s outage: opened %.2f s after the change, %.2f s from when the rule could see it (by %s)"
          % (length, start - toggled, start - seen, outage["by"]), abs(start - seen) <= 1.5)
    check("%2d s outage: closed (%s), lasted %.1f s" % (length, outage.get("end"), outage.get("duration_ms", 0) / 1000),
          "end" in outage and length - 4 <= outage["duration_ms"] / 1000 <= length + 4)
    check("%2d s outage placed %s: %s" % (length, outage.get("place"), outage.get("conclusion")),
          outage.get("place") == place)
check("the last router that answers, r2, is named", "198.51.100.2" in str(sorted(outages.values(), key=lambda o: o["start"])[1].get("conclusion")))
sys.exit(1 if failed else 0)
PY
code=$(nsx "$NS_CLIENT" "$NET_CLI" watch-summary "$work/watch.jsonl" >"$work/summary.txt"; echo $?)
net_check "watch-summary reads the log: 3 outages, exit $code" grep -q '^1 endpoints, 3 outages$' "$work/summary.txt"
[ "$net_failures" -eq 0 ] || { net_log "$net_failures check(s) failed"; exit 1; }
net_log "all checks passed"
