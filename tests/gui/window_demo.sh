#!/usr/bin/env bash
# window_demo.sh CLIENT_ROOT WINDOWS_BUILD_DIR [SCREENSHOT]: runs Reachkit.exe from CLIENT_ROOT/
# Reachkit/ under Wine, pings the first host, prints the lines and saves a screenshot, then opens
# the check window and saves it beside (SCREENSHOT-check.png).
set -euo pipefail
client=$1 build=$2 shot=${3:-$1/reachkit-window.png}
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/gui_session.sh" && gui_session_start
install -D "$build/src/Reachkit.exe" "$client/Reachkit/Reachkit.exe"
"$repo_root/cmake/wine-run.sh" "$build/tests/gui/gui_harness.exe" demo \
  "$(winpath "$client/Reachkit/Reachkit.exe")" "$(winpath "$shot")"
echo "screenshots: $shot ${shot%.*}-check.png ${shot%.*}-watch.png"
