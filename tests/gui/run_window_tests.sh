#!/usr/bin/env bash
# run_window_tests.sh REACHKIT_EXE GUI_HARNESS_EXE WORK_DIR: the main window on a copy of
# the demo client (the program in a sub-folder, as in the field), again without ICMP, the
# demo with its screenshot WORK_DIR/window.png, then the settings dialogs.
set -uo pipefail
exe=$1 harness=$2 work=$3
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/gui_session.sh"
gui_session_start || exit 1
rm -rf "$work/client" "$work/dialogs" && mkdir -p "$work/client/Reachkit" "$work/dialogs"
cp -r "$repo_root/demo/Sys" "$repo_root/demo/Bin" "$work/client/"
cp "$exe" "$work/client/Reachkit/Reachkit.exe"
program=$(winpath "$work/client/Reachkit/Reachkit.exe") rc=0
run() { "$repo_root/cmake/wine-run.sh" "$harness" "$@" </dev/null || rc=1; }
run window "$program"
WINEDLLOVERRIDES="icmp,iphlpapi=d;mscoree,mshtml=" run no-icmp "$program"
run demo "$program" "$(winpath "$work/window.png")"
run dialogs "$(winpath "$exe")" "$(winpath "$work/dialogs")"
exit $rc
