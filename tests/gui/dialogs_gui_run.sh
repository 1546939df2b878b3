#!/usr/bin/env bash
# dialogs_gui_run.sh DIALOGS_GUI_TESTS_EXE REACHKIT_EXE WORK_DIR
# Runs the settings-dialog window tests under Wine, starting Xvfb when there
# is no display. Screenshots land in WORK_DIR.
set -euo pipefail
tests=$1 exe=$2 work=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/common.sh"

# A display of our own goes at the end, and with it the Wine server whose
# desktop was drawn on it.
trap 'if [ -n "$xvfb_pid" ]; then wine_finish; fi; stop_display' EXIT
ensure_display
# The first Wine process of a prefix starts the server and its services,
# which keep the standard handles they inherit; started here without ours,
# they cannot hold ctest's output pipe open after the test ends.
wine_prepare >/dev/null 2>&1 </dev/null
"$repo_root/cmake/wine-run.sh" cmd /c exit >/dev/null 2>&1 </dev/null || true
mkdir -p "$work"
cd "$work"
"$repo_root/cmake/wine-run.sh" "$tests" "$exe" --gtest_brief=1 </dev/null
