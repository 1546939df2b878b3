#!/usr/bin/env bash
# with_display.sh PROGRAM.exe [ARGS...]: runs a Windows test program under
# Wine with a display (an Xvfb of its own when there is none).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/common.sh"
trap 'if [ -n "$xvfb_pid" ]; then wine_finish; fi; stop_display' EXIT
ensure_display
# Server and services started without ctest's pipes, which they would keep open.
wine_prepare >/dev/null 2>&1 </dev/null
"$repo_root/cmake/wine-run.sh" cmd /c exit >/dev/null 2>&1 </dev/null || true
"$repo_root/cmake/wine-run.sh" "$@" </dev/null
