#!/usr/bin/env bash
# check_test.sh --cli PATH | --wine-exe PATH --work DIR: `reachkit-cli check` in the client's
# namespace of netlib.sh's chain (r2 silent), one endpoint for each cause the routers and the
# target give (the verdicts found without a connect are the unit tests'); the JSON document is
# checked field by field, the text table line by line.
source "$(dirname "${BASH_SOURCE[0]}")/netlib.sh"
net_parse_args "$@"
net_setup silent
PROHIBITED_IP=203.0.113.74 FILTERED_PORT=9100
# r3 refuses one more block in words; the target drops what its port 9100 would answer.
nsx "$NS_R3" ip route add prohibit 203.0.113.72/29 &&
  nsx "$NS_TARGET" ip rule add pref 100 iif lo ipproto tcp sport "$FILTERED_PORT" blackhole ||
  { net_log "FAIL: could not add the routes"; exit 1; }

# Hosts: 0 Order1 target, 1 Quote1 blackholed (both on OPEN, REFUSED, FILTERED); Local 2 prohibited.
net_ini Sys/ZentickConSet.ini "[Tradedesk]" "Name=Order1,Quote1" "[Order1]" "NMIP=$TARGET_IP" \
  "[Quote1]" "NMIP=$BLACKHOLE_IP"
net_ini Sys/O_Tradedesk.ini "[Config]" "FileName=VekTradedesk.ini"
net_ini Sys/VekTradedesk.ini "[Local]" "Count=1" "IP_1=$PROHIBITED_IP" "Port_1=$OPEN_PORT"
net_ini Bin/BaseConfig.ini "[DC]" "ClientToNMPortTry=$OPEN_PORT,$REFUSED_PORT,$FILTERED_PORT"

json=$(mktemp /tmp/rk-net-check.XXXXXX) text=$(mktemp /tmp/rk-net-check.XXXXXX) && net_temp_dirs+=("$json" "$text")

# verify JSON_FILE: every field of every endpoint and address, by python.
verify() {
  python3 - "$1" "${NET_WINE_EXE:+wine}" <<'PY'
import json, re, sys
doc = json.load(open(sys.argv[1], encoding="utf-8"))
wine = sys.argv[2] == "wine"
T, B, P, R1, R3 = "203.0.113.2", "203.0.113.66", "203.0.113.74", "192.0.2.2", "198.51.100.6"
O, F, X = 8443, 9100, 8001
listen = lambda p: f"the host answers, but nothing listens on port {p}"
# r2 is silent and r3 drops what it blackholes: r1 is the last router to answer on that path.
beyond = f"no answer beyond router 1 ({R1})"
filtered = f"the host answers echo, so port {F} is filtered on the host or in front of it"
# Windows keeps no report of the router: the path probe names it when r3's reports were not
# used up by its limit (one a second after a burst of five, per source), and Winsock says
# "host unreachable" for a prohibited route too.
prohibited = f"router {R3} says " + ("the host is unreachable" if wine else
                                      "the traffic is administratively prohibited")
wine_causes = {prohibited, "the network says the host is unreachable (the reporting router is not known)"}
want = [  # index, host, address, port, verdict, cause, reporter
  (0, T, T, O, "open", "", None), (0, T, T, X, "refused", listen(X), None),
  (0, T, T, F, "timeout", filtered, None),
  (1, B, B, O, "timeout", beyond, None), (1, B, B, X, "timeout", beyond, None),
  (1, B, B, F, "timeout", beyond, None),
  (2, P, P, O, "unreachable", prohibited, None if wine else R3)]
fails = []
def check(what, got, expected):
    if got != expected: fails.append(f"{what}: got {got!r}, want {expected!r}")
check("endpoint count", len(doc["endpoints"]), len(want))
for i, (e, w) in enumerate(zip(doc["endpoints"], want)):
    for key, value in zip(("index", "host", "address", "port", "verdict", "cause", "reporter"), w):
        if key == "cause" and wine and w[4] == "unreachable":
            if e[key] not in wine_causes: fails.append(f"endpoints[{i}].cause: got {e[key]!r}")
            continue
        check(f"endpoints[{i}].{key}", e[key], value)
    ms = e["ms"]
    if not (isinstance(ms, (int, float)) and ms >= 0 and round(ms, 1) == ms):
        fails.append(f"endpoints[{i}].ms {ms!r} is not in tenths")
    if w[4] == "timeout" and not 1990 <= ms <= 2600: fails.append(f"endpoints[{i}].ms {ms} is not the 2 s limit")
    if w[4] in ("open", "refused", "unreachable") and ms > 1000: fails.append(f"endpoints[{i}].ms {ms} too slow")
summary = {"open": 1, "refused": 1, "timeout": 4, "unreachable": 1, "unresolved": 0, "no-port": 0,
           "error": 0, "no-host": 0, "interrupted": 0, "total": 7}
check("summary", doc["summary"], summary)
check("started is ISO 8601 UTC", bool(re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z", doc["started"])), True)
if not doc["duration_ms"] < 2000 + 3000 + 1500: fails.append(f"duration_ms {doc['duration_ms']} too long")
check("icmp_available", doc["icmp_available"], True)
check("conclusion", (doc["conclusion"]["code"], doc["conclusion"].get("places")),
      ("several", ["internet_path", "broker_host"]))
# The blackholed endpoints go through the client's gateway (r1), which answers its echo.
check("network", {k: doc["network"][k] for k in ("gateway", "gateway_echoed", "gateway_answered")},
      {"gateway": R1, "gateway_echoed": True, "gateway_answered": True})
addresses = {a["address"]: a for a in doc["addresses"]}
# Where the connect named the reporting router (not on Windows) the address is not probed again.
check("diagnosed addresses", sorted(addresses), sorted([T, B, P] if wine else [T, B]))
def path(address, hops, last, reached, echo, limited=False):
    a = addresses.get(address)
    if a is None: return
    got = [(h["ttl"], h["address"]) for h in a["path"]["hops"]]
    if limited:  # r3's reports are rate-limited: some of its answers may be missing
        check(f"{address} hops", got[:1] == hops[:1] and all(h in (R3, address) for _, h in got[1:]), True)
        check(f"{address} last_ttl", a["path"]["last_ttl"], got[-1][0] if got else 0)
    else:
        check(f"{address} hops", got, hops)
        check(f"{address} last_ttl", a["path"]["last_ttl"], last)
    check(f"{address} target_reached", a["path"]["target_reached"], reached)
    check(f"{address} echo.answered", a["echo"]["answered"], echo)
    check(f"{address} echo.ms is a number exactly when answered", isinstance(a["echo"]["ms"], int), echo)
    for h in a["path"]["hops"]:
        if not 0 <= h["ms"] < 3000: fails.append(f"{address} hop {h['ttl']} ms {h['ms']}")
# Under Windows the connect to P names no router, so its path probe spends r3's few reports too:
# the target's own path may then miss r3.
path(T, [(1, R1), (3, R3), (4, T)], 4, True, True, limited=wine)
path(B, [(1, R1)], 1, False, False)
path(P, [(1, R1), (3, R3)], 3, False, False, limited=True)
for f in fails: print("     " + f, file=sys.stderr)
sys.exit(1 if fails else 0)
PY
}

net_run "$json" check --json --timeout-ms 2000
net_check "check --json: every verdict and cause, field by field" \
  test "$EXIT" = 1 -a -s "$json" && net_check "  fields" verify "$json"

# Routers limit their unreachable reports per source (net.ipv4.route.error_burst, 5 s of tokens):
# the next run starts with the limiter refilled.
sleep 5
net_run "$text" check --timeout-ms 2000
ok=1
# The conclusion opens the output, and each endpoint not open gets its cause in words (the table
# and the summary are the support report's lines, tested on loopback).
[[ $(head -1 "$text") =~ ^conclusion:\ several\ breaks\ at\ once:\ the\ internet\ path:\  ]] || ok=0
grep -qx "0      $TARGET_RE:$REFUSED_PORT  the host answers, but nothing listens on port $REFUSED_PORT" "$text" || ok=0
grep -qx "1      $BLACKHOLE_RE:$OPEN_PORT  no answer beyond router 1 (192\.0\.2\.2)" "$text" || ok=0
net_check "check: the conclusion first, the causes; exit 1" test $ok = 1 -a "$EXIT" = 1 ||
  sed 's/^/     /' "$text" >&2

# Only open endpoints: exit 0, nothing diagnosed.
net_locals "$TARGET_IP:$OPEN_PORT"
net_run "$json" check --json
net_check "check: every endpoint open exits 0 with no address diagnosed" test "$EXIT" = 0 -a \
  "$(net_field "$json" 'd["summary"]["open"], len(d["addresses"])')" = "1 0"

[ "$net_failures" -eq 0 ] || { net_log "$net_failures check(s) failed"; exit 1; }
net_log "all checks passed"
