# Sourced by the window scripts: a display and a Wine server, both ended at exit when ours.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"

# The server and its services start without our standard handles, so they cannot hold a
# caller's pipe (ctest's) open. On our own display, without a window manager, Wine waits
# about 2 s whenever a top-level window hides, unless it manages none.
gui_session_start() {
  trap 'if [ -n "$xvfb_pid" ]; then wine_finish; fi; stop_display' EXIT
  ensure_display || return 1
  wine_prepare >/dev/null 2>&1 </dev/null
  [ -z "$xvfb_pid" ] || "$repo_root/cmake/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' \
    /v Managed /d N /f >/dev/null 2>&1 </dev/null || true
}

# A Linux path as Wine's Z: drive shows it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
