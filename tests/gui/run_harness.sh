#!/usr/bin/env bash
# run_harness.sh REACHKIT_EXE HARNESS_EXE WORK_DIR [SCREENSHOT]: a window harness under Wine, in a
# fresh WORK_DIR/<harness> holding a folder "readonly" that no save can write into: made immutable
# (root can write into any mode-555 folder), else read-only.
set -uo pipefail
exe=$1 harness=$2 work=$3/$(basename "$2" .exe) shot=${4:-}
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/gui_session.sh" && gui_session_start || exit 1
release() { chattr -i "$work/readonly" 2>/dev/null; chmod 755 "$work/readonly" 2>/dev/null; true; }
release
rm -rf "$work" && mkdir -p "$work/readonly"
chattr +i "$work/readonly" 2>/dev/null || chmod 555 "$work/readonly"
"$repo_root/cmake/wine-run.sh" "$harness" "$(winpath "$exe")" "$(winpath "$work")" \
  ${shot:+"$(winpath "$shot")"} </dev/null
rc=$?
release
exit $rc
