#!/usr/bin/env bash
# run-window.sh CLIENT_ROOT: builds the Windows program and shows it under Wine
# on the client tree (the program in CLIENT_ROOT/Reachkit/), with an Xvfb of
# its own when there is no display: one Ping on the first host and a screenshot,
# then the check window after its check and a screenshot of it; their paths.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/common.sh"
cd "$repo_root"
client=$1
cmake --preset windows >/dev/null
cmake --build --preset windows --target Reachkit window_show >/dev/null
source tests/gui/gui_session.sh && gui_session_start
shot=$client/reachkit-window.png
install -D build/windows/src/Reachkit.exe "$client/Reachkit/Reachkit.exe"
cmake/wine-run.sh build/windows/bench/window_show.exe demo "$(winpath "$client/Reachkit/Reachkit.exe")" \
  "$(winpath "$shot")"
echo "screenshots: $shot ${shot%.*}-check.png ${shot%.*}-watch.png"
