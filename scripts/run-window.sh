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
cmake --build --preset windows --target Reachkit gui_harness >/dev/null
bash tests/gui/window_demo.sh "$client" build/windows "$client/reachkit-window.png"
