#!/usr/bin/env bash
# run_window_tests.sh REACHKIT_EXE GUI_HARNESS_EXE WORK_DIR: the main window on the demo client
# (in a sub-folder, as in the field), without ICMP, and the keyboard around a run; the settings
# dialogs' rules are their forms' unit tests. (The demo's screenshot is scripts/run-window.sh's.)
set -uo pipefail
exe=$1 harness=$2 work=$3
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/gui_session.sh" && gui_session_start || exit 1
rm -rf "$work/client" "$work/keyboard"
mkdir -p "$work/keyboard"
install -D "$exe" "$work/client/Reachkit/Reachkit.exe"
cp -r "$repo_root"/demo/{Sys,Bin} "$work/client/"
program=$(winpath "$work/client/Reachkit/Reachkit.exe") rc=0
run() { "$repo_root/cmake/wine-run.sh" "$harness" "$@" </dev/null || rc=1; }
run window "$program"
WINEDLLOVERRIDES="icmp,iphlpapi=d;mscoree,mshtml=" run no-icmp "$program"
run keyboard "$(winpath "$exe")" "$(winpath "$work/keyboard")"
exit $rc
