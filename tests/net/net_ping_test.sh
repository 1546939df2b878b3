#!/usr/bin/env bash
# Ping through the router chain: the header, five answered echoes numbered 0
# to 4 that show the target's address, and "End ", paced one second apart.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/netlib.sh"
net_parse_args "$@"
net_setup

out=$(mktemp /tmp/rk-net-out.XXXXXX)
net_temp_dirs+=("$out")
net_timed_cli "$out" "$NET_ROOT" ping 0
net_check "exit code 0" test "$NET_EXIT" -eq 0
echo_line() { echo "32 bytes from $TARGET_RE: icmp_seq = $1\. time: [0-9]+ ms"; }
net_expect_lines "five answered echoes, then the end line" "$out" \
  "Ping $TARGET_RE \[$TARGET_RE\]" \
  "$(echo_line 0)" "$(echo_line 1)" "$(echo_line 2)" "$(echo_line 3)" "$(echo_line 4)" \
  "End "
net_expect_between "five passes of echo and 1 s pause, ms" "$NET_ELAPSED_MS" 4900 8000
net_finish
