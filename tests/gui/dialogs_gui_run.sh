#!/usr/bin/env bash
# dialogs_gui_run.sh DIALOGS_GUI_TESTS_EXE REACHKIT_EXE WORK_DIR
# Runs the settings-dialog window tests under Wine, with the display and Wine
# server set-up that every window test shares. Screenshots land in WORK_DIR.
set -euo pipefail
tests=$1 exe=$2 work=$3
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/gui_session.sh"

gui_session_start
mkdir -p "$work"
cd "$work"
"$repo_root/cmake/wine-run.sh" "$tests" "$exe" --gtest_brief=1 </dev/null
