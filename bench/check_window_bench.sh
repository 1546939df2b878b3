#!/usr/bin/env bash
# check_window_bench.sh [WINDOWS_BUILD_DIR] [ENDPOINTS]
# The check window of Reachkit.exe under Wine with 317 loopback endpoints (half refused, half
# never answering): the time to the last verdict, the program's processor time, and the slowest
# answer of its window to a sent message. Uses an Xvfb of its own when there is no display.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../tests/gui/gui_session.sh"
build=${1:-$repo_root/build/windows}
endpoints=${2:-317}
[ -f "$build/src/Reachkit.exe" ] && [ -f "$build/bench/check_window_bench.exe" ] || {
  echo "build first: cmake --build --preset windows --target Reachkit check_window_bench" >&2
  exit 1
}
gui_session_start
client=$(mktemp -d "$repo_root/build/check-bench.XXXXXX")
trap 'if [ -n "$xvfb_pid" ]; then wine_finish; fi; stop_display; rm -rf "$client"' EXIT
"$repo_root/cmake/wine-run.sh" "$build/bench/check_window_bench.exe" "$(winpath "$client")" \
  "$(winpath "$build/src/Reachkit.exe")" "$endpoints" </dev/null
