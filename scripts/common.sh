# Shared by the run and test commands. Source it; it changes no directory.

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Wine with code page 950 and a prefix of our own beside the build trees.
export WINEDEBUG=-all
export REACHKIT_WINEPREFIX=${REACHKIT_WINEPREFIX:-$repo_root/build/wineprefix}
export WINEPREFIX=$REACHKIT_WINEPREFIX

# One persistent Wine server for the whole run, with Wine's services started
# here with nothing open: services inherit the descriptors of the process that
# starts them and outlive it, and must never hold a test's output pipe.
wine_prepare() {
  mkdir -p "$WINEPREFIX"
  LC_ALL=zh_TW.UTF-8 wineserver -p </dev/null >/dev/null 2>&1 || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    LC_ALL=zh_TW.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i </dev/null >/dev/null 2>&1 || true
  else
    LC_ALL=zh_TW.UTF-8 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  fi
  "$repo_root/cmake/wine-fonts.sh" || true
}

wine_finish() {
  wineserver -k 2>/dev/null || true
}

# A display for windows: the caller's, or an Xvfb of our own.
xvfb_pid=""
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in 91 92 93 94 95 96 97 98; do
    # A lock whose server has gone (killed with the session that started it) is stale: clear it,
    # or a machine that ran a few earlier sessions would have no display left to start.
    if [ -e "/tmp/.X$n-lock" ]; then
      local owner
      owner=$(tr -dc '0-9' <"/tmp/.X$n-lock" 2>/dev/null)
      if [ -n "$owner" ] && ! kill -0 "$owner" 2>/dev/null; then
        rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
      fi
    fi
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && return 0
      sleep 0.1
    done
  done
  echo "could not start Xvfb" >&2
  return 1
}

stop_display() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}
