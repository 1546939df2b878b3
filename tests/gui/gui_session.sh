# Sourced by the window-test scripts: a display and a Wine server for the
# Windows programs they run.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"

# Makes sure there is a display (an Xvfb of our own when there is none) and
# a running Wine server. The server and its services are started without our
# standard handles, so they cannot hold a caller's output pipe (ctest's) open
# after the script ends. A display of our own goes at exit, and with it the
# Wine server whose desktop was drawn on it.
gui_session_start() {
  trap 'if [ -n "$xvfb_pid" ]; then wine_finish; fi; stop_display' EXIT
  ensure_display || return 1
  wine_prepare >/dev/null 2>&1 </dev/null
  "$repo_root/cmake/wine-run.sh" cmd /c exit >/dev/null 2>&1 </dev/null || true
}

# A Linux path as Wine's Z: drive shows it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
