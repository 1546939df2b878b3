#!/usr/bin/env bash
# run_result_list_tests.sh REACHKIT_EXE HARNESS_EXE WORK_DIR: copy, save, context menu and the
# check of every host on a loopback client, then again through the scripted SOCKS5 proxy of
# tests/proxy (started here on loopback, stopped at the end); screenshots in WORK_DIR/shots. The folder the save
# cannot write to is made immutable (root can write into any mode-555 folder), else read-only.
set -uo pipefail
exe=$1 harness=$2 work=$3
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/gui_session.sh" && gui_session_start || exit 1
readonly_dir="$work/result-list/readonly"
release() { chattr -i "$readonly_dir" 2>/dev/null; chmod 755 "$readonly_dir" 2>/dev/null; true; }
release
rm -rf "$work/result-list" && mkdir -p "$readonly_dir" "$work/result-list/shots"
chattr +i "$readonly_dir" 2>/dev/null || chmod 555 "$readonly_dir"
port_file="$work/result-list/proxy-port"
PYTHONPATH="$repo_root/tests/proxy" python3 -c '
import sys, time, proxy_lab
proxy = proxy_lab.ScriptedProxy("socks5")
open(sys.argv[1], "w").write(str(proxy.port))
time.sleep(600)  # bounded: the script ends it when the harness is done
' "$port_file" </dev/null &
proxy_pid=$!
for _ in $(seq 100); do [ -s "$port_file" ] && break; sleep 0.1; done
"$repo_root/cmake/wine-run.sh" "$harness" "$(winpath "$exe")" "$(winpath "$work/result-list/client")" \
  "$(winpath "$readonly_dir")" "$(winpath "$work/result-list/shots")" "$(cat "$port_file" 2>/dev/null)" \
  </dev/null
rc=$?
kill "$proxy_pid" 2>/dev/null; wait "$proxy_pid" 2>/dev/null
release
exit $rc
