#!/usr/bin/env bash
# The TCP connection test against a routed target: a refused port, then an
# open one (the run stops there; the third port is never tried), and a host
# behind a blackhole route whose handshake gets no answer, which fails after
# the real 10 s limit. Natively a refused port is reported at once; through
# Windows Sockets (Wine) only writability counts, so it fails at the limit.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/netlib.sh"
net_parse_args "$@"
net_setup

open_out=$(mktemp /tmp/rk-net-out.XXXXXX)
hole_out=$(mktemp /tmp/rk-net-out.XXXXXX)
hole_times=$(mktemp /tmp/rk-net-out.XXXXXX)
net_temp_dirs+=("$open_out" "$hole_out" "$hole_times")

# The blackholed host runs beside the other run, so the two waits overlap.
(
  net_timed_cli "$hole_out" "$NET_ROOT" telnet 2
  echo "$NET_EXIT $NET_ELAPSED_MS" >"$hole_times"
) &
hole_pid=$!

net_timed_cli "$open_out" "$NET_ROOT" telnet 0
net_check "refused then open: exit code 0" test "$NET_EXIT" -eq 0
net_expect_lines "refused then open: failure, success, nothing after" "$open_out" \
  "Telnet $TARGET_RE \[$TARGET_RE\]" \
  "連線失敗，$TARGET_RE：$REFUSED_PORT" \
  "連線成功，$TARGET_RE：$OPEN_PORT"
if [ -n "$NET_WINE_EXE" ]; then
  net_expect_between "refused port waits the limit under Windows Sockets, ms" "$NET_ELAPSED_MS" 9900 13000
else
  net_expect_between "refused port reported at once, ms" "$NET_ELAPSED_MS" 0 1000
fi

wait "$hole_pid"
read -r hole_exit hole_ms <"$hole_times"
net_check "blackhole: exit code 0" test "${hole_exit:-1}" -eq 0
net_expect_lines "blackhole: one failure line" "$hole_out" \
  "Telnet $BLACKHOLE_RE \[$BLACKHOLE_RE\]" \
  "連線失敗，$BLACKHOLE_RE：$OPEN_PORT"
net_expect_between "blackhole: fails after the 10 s limit, ms" "${hole_ms:-0}" 9900 13000
net_finish
