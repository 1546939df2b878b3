#!/usr/bin/env bash
# run_rank_window_test.sh REACHKIT_EXE HARNESS_EXE WORK_DIR [SCREENSHOT]: the ranking window on
# loopback locations (rank_window.cpp).
set -uo pipefail
exe=$1 harness=$2 work=$3 shot=${4:-}
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/gui_session.sh" && gui_session_start || exit 1
rm -rf "$work/rank-window" && mkdir -p "$work/rank-window"
"$repo_root/cmake/wine-run.sh" "$harness" "$(winpath "$exe")" "$(winpath "$work/rank-window")" \
  ${shot:+"$(winpath "$shot")"} </dev/null
