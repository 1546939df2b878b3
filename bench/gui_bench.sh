#!/usr/bin/env bash
# gui_bench.sh [WINDOWS_BUILD_DIR] [RUNS]
# Benchmarks Reachkit.exe under Wine: its size on disk, and the time from the
# start of its process to its shown, laid-out window on the demo client
# (median of RUNS starts, default 10, after one untimed start that warms the
# Wine prefix). Uses an Xvfb of its own when there is no display.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../tests/gui/gui_session.sh"
build=${1:-$repo_root/build/windows}
runs=${2:-10}
exe=$build/src/Reachkit.exe
harness=$build/bench/window_show.exe
[ -f "$exe" ] && [ -f "$harness" ] || {
  echo "build first: cmake --preset windows && cmake --build --preset windows --target Reachkit window_show" >&2
  exit 1
}

gui_session_start
client=$(mktemp -d "$repo_root/build/gui-bench.XXXXXX")
trap 'if [ -n "$xvfb_pid" ]; then wine_finish; fi; stop_display; rm -rf "$client"' EXIT

mkdir -p "$client/Reachkit"
cp -r "$repo_root/demo/Sys" "$repo_root/demo/Bin" "$client/"
cp "$exe" "$client/Reachkit/Reachkit.exe"
program=$(winpath "$client/Reachkit/Reachkit.exe")

size=$(stat -c %s "$exe")
echo "Reachkit.exe size: $size bytes ($((size / 1024)) KiB)"
"$repo_root/cmake/wine-run.sh" "$harness" startup "$program" 1 >/dev/null </dev/null
"$repo_root/cmake/wine-run.sh" "$harness" startup "$program" "$runs" </dev/null
