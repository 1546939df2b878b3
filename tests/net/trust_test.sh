#!/usr/bin/env bash
# trust_test.sh refusal|bound|names --cli PATH | --wine-exe PATH --work DIR: `check` over
# netlib.sh's chain with the delaying link (10-20 ms) and the kernel's default ICMP rate limits.
#   refusal  r2 answers for two blocks: route unreachable, and a filter's port-unreachable; 3 runs
#   bound    200 endpoints, 100 dark on many addresses, --timeout-ms 2000: done within 5 s
#   names    look-ups against dnsmasq in the client's namespace: each failure told apart (the
#            bound on a silent server is the unit tests', the same for any resolver)
source "$(dirname "${BASH_SOURCE[0]}")/netlib.sh"
what=$1; shift
net_parse_args "$@"
NET_DELAY_MS=15 NET_JITTER_MS=5
net_setup
json=$(mktemp /tmp/rk-net-trust.XXXXXX) && net_temp_dirs+=("$json")
R2=198.51.100.2

case $what in
refusal)
  nsx "$NS_R2" ip route add unreachable 203.0.113.96/29 &&
    nsx "$NS_R2" nft -f - <<<'table ip rk { chain pass { type filter hook forward priority 0;
      tcp dport 9200 reject with icmp port-unreachable; }; }' ||
    { net_log "FAIL: could not set r2 up"; exit 1; }
  net_locals "203.0.113.98:$OPEN_PORT" "$TARGET_IP:9200"
  # Wine reads the unix socket's error alone: the filter's answer is a refusal there.
  reporter=$R2 filtered="unreachable $R2"; [ -z "$NET_WINE_EXE" ] || reporter=None filtered="refused None"
  for run in 1 2 3; do
    net_run "$json" check --json --timeout-ms 2000
    got=$(net_field "$json" '"|".join(e["verdict"] + " " + str(e["reporter"]) for e in d["endpoints"])')
    want="unreachable $reporter|$filtered"
    net_check "refusal run $run: r2's answers read as unreachable ($got)" test "$got" = "$want" ||
      net_field "$json" '[e["cause"] for e in d["endpoints"]]' >&2
    [ $run = 1 ] && net_field "$json" '"\n".join(e["cause"] for e in d["endpoints"])' | sed 's/^/     cause: /' >&2
    # A run spends two of r2's reports to this client; a whole refill (5 tokens, one a second)
    # between runs, so a report the router's limit held back never reads as a flaky verdict.
    [ $run = 3 ] || sleep 6
  done ;;
bound)
  # 100 open endpoints on the target, 100 dark ones on 100 addresses.
  hosts=(); for i in $(seq 1 100); do hosts+=("$TARGET_IP:$OPEN_PORT" "203.0.113.$((i + 128)):$OPEN_PORT"); done
  net_locals "${hosts[@]}"
  if [ -n "$NET_WINE_EXE" ]; then  # the process start under Wine is not the check's: its own time
    net_run "$json" check --json --timeout-ms 2000
    took=$(net_field "$json" 'int(d["duration_ms"])')
    net_check "bound: 200 endpoints, 100 dark, checked in $took ms (<= 5000)" test "$EXIT" = 1 -a "$took" -le 5000
    net_check "bound: 100 open, 100 timeout" test "$(net_field "$json" 'd["summary"]["open"], d["summary"]["timeout"]')" = "100 100"
  else
    err=$(mktemp /tmp/rk-net-trust.XXXXXX) && net_temp_dirs+=("$err")
    net_run "$json" check --timeout-ms 2000 2>"$err"
    net_check "bound: 200 endpoints, 100 dark, in $ELAPSED_MS ms (<= 5000), exit $EXIT" \
      test "$EXIT" = 1 -a "$ELAPSED_MS" -le 5000
    net_check "bound: 100 open, 100 timeout" grep -qE '^200 endpoints: 100 open, 100 timeout' "$json"
    net_check "bound: a progress line each second on stderr" \
      test "$(grep -cE '^\.\.\. [0-9]+ / 200 done$' "$err")" -ge 2
    tail -2 "$json" | sed 's/^/     /' >&2; sed 's/^/     stderr: /' "$err" >&2
  fi ;;
names)
  command -v dnsmasq >/dev/null || net_skip_or_fail "dnsmasq is not installed"
  # The client's resolver is dnsmasq on its own address; a second server address gets no answer.
  mkdir -p "/etc/netns/$NS_CLIENT" && net_temp_dirs+=("/etc/netns/$NS_CLIENT")
  nsx "$NS_CLIENT" dnsmasq --no-resolv --no-hosts --keep-in-foreground --port=53 \
    --listen-address=192.0.2.1 --bind-interfaces --pid-file= --user=root \
    --local=/test/ --host-record=six.test,2001:db8::1 \
    --host-record=trade.test,$TARGET_IP </dev/null >/dev/null 2>&1 &
  net_pids+=($!)
  for i in $(seq 50); do nsx "$NS_CLIENT" bash -c 'exec 3<>/dev/tcp/192.0.2.1/53' 2>/dev/null && break; sleep 0.1; done
  net_locals "trade.test:$OPEN_PORT" "nothing.test:$OPEN_PORT" "six.test:$OPEN_PORT"
  printf 'nameserver 192.0.2.1\noptions timeout:1 attempts:1\n' >"/etc/netns/$NS_CLIENT/resolv.conf"
  net_run "$json" check --json --timeout-ms 2000
  got=$(net_field "$json" '"|".join(e["verdict"] + ": " + e["cause"] for e in d["endpoints"])')
  want="open: |unresolved: the name does not exist (the DNS server says so)|unresolved: the name has no IPv4 address"
  net_check "names: found, no such name, no IPv4 address ($got)" test "$got" = "$want" ;;
*) net_log "unknown test $what"; exit 2 ;;
esac
[ "$net_failures" -eq 0 ] || { net_log "$net_failures check(s) failed"; exit 1; }
net_log "all checks passed"
