#!/usr/bin/env bash
# run_window_tests.sh REACHKIT_EXE GUI_HARNESS_EXE WORK_DIR
# Copies the demo client into WORK_DIR, puts Reachkit.exe in a sub-folder of
# it as in the field, and runs every window scenario under Wine (starting
# Xvfb when there is no display): first with ICMP, then once more with the
# ICMP libraries disabled. Screenshots land in WORK_DIR/shots.
set -uo pipefail
exe=$1 harness=$2 work=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/gui_session.sh"
gui_session_start || exit 1

client=$work/client
rm -rf "$client" "$work/shots"
mkdir -p "$client/Reachkit" "$work/shots"
cp -r "$repo_root/demo/Sys" "$repo_root/demo/Bin" "$client/"
cp "$exe" "$client/Reachkit/Reachkit.exe"

program=$(winpath "$client/Reachkit/Reachkit.exe")
shots=$(winpath "$work/shots")

rc=0
"$repo_root/cmake/wine-run.sh" "$harness" all "$program" "$shots" </dev/null || rc=1
# Wine reads the overrides when a process starts; the program inherits them
# from the harness.
WINEDLLOVERRIDES="icmp,iphlpapi=d;mscoree,mshtml=" \
  "$repo_root/cmake/wine-run.sh" "$harness" no-icmp "$program" "$shots" </dev/null || rc=1
echo "screenshots: $work/shots"
exit $rc
