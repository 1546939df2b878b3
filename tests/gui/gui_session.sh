# Sourced by the window scripts: a display and a Wine server, both ended at exit when ours.
# The server's services start without our standard handles, so they cannot hold ctest's pipe
# open. Without a window manager Wine waits ~2 s whenever a window hides, unless unmanaged.
# Nor is there a manager to send WM_TAKE_FOCUS: once the X focus leaves Wine for a moment, Wine
# makes the desktop its foreground, and an X focus given back later is ignored (every typed key
# is then lost) unless Wine is told to follow the X focus itself (UseTakeFocus N).
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"

gui_session_start() {
  trap 'if [ -n "$xvfb_pid" ]; then wine_finish; fi; stop_display' EXIT
  ensure_display || return 1
  wine_prepare >/dev/null 2>&1 </dev/null
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && managed=Y || managed=N
  "$repo_root/cmake/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d $managed \
    /f >/dev/null 2>&1 </dev/null || true
  "$repo_root/cmake/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v UseTakeFocus /d N \
    /f >/dev/null 2>&1 </dev/null || true
}

winpath() { printf 'Z:%s' "${1//\//\\}"; }
