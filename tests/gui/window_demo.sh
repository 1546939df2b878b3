#!/usr/bin/env bash
# window_demo.sh CLIENT_ROOT WINDOWS_BUILD_DIR [SCREENSHOT]
# Shows Reachkit.exe on a client tree: places the program in
# CLIENT_ROOT/Reachkit/, runs it under Wine (on an Xvfb of its own when there
# is no display), pings the first host, saves a screenshot of the window and
# prints its path. The result lines are printed too.
set -euo pipefail
client=$1 build=$2
shot=${3:-$client/reachkit-window.png}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/gui_session.sh"
gui_session_start

mkdir -p "$client/Reachkit"
cp "$build/src/Reachkit.exe" "$client/Reachkit/Reachkit.exe"
"$repo_root/cmake/wine-run.sh" "$build/tests/gui/gui_harness.exe" demo \
  "$(winpath "$client/Reachkit/Reachkit.exe")" "$(winpath "$shot")"
echo "screenshot: $shot"
