#!/usr/bin/env bash
# with_display.sh PROGRAM.exe [ARGS...]: runs a Windows test program under
# Wine with a display (an Xvfb of its own when there is none).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/gui_session.sh"
gui_session_start
"$repo_root/cmake/wine-run.sh" "$@" </dev/null
