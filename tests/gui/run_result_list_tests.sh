#!/usr/bin/env bash
# run_result_list_tests.sh REACHKIT_EXE HARNESS_EXE WORK_DIR: copy, save, context menu, the check
# of every host and the watch window on a loopback client. The folder the save cannot write to is
# made immutable (root can write into any mode-555 folder), else read-only.
set -uo pipefail
exe=$1 harness=$2 work=$3
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/gui_session.sh" && gui_session_start || exit 1
readonly_dir="$work/result-list/readonly"
release() { chattr -i "$readonly_dir" 2>/dev/null; chmod 755 "$readonly_dir" 2>/dev/null; true; }
release
rm -rf "$work/result-list" && mkdir -p "$readonly_dir"
chattr +i "$readonly_dir" 2>/dev/null || chmod 555 "$readonly_dir"
"$repo_root/cmake/wine-run.sh" "$harness" "$(winpath "$exe")" "$(winpath "$work/result-list/client")" \
  "$(winpath "$readonly_dir")" </dev/null
rc=$?
release
exit $rc
