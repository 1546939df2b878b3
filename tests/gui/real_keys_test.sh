#!/usr/bin/env bash
# real_keys_test.sh REACHKIT_EXE WORK_DIR: the system menu's keys as a user types them, through
# the X server (xdotool's XTEST events, not window messages): Alt+Space then K opens the check
# window, Escape there never ends the program, Alt+Space then L the ranking window, Alt+Space then
# C ends the program.
set -uo pipefail
exe=$1 work=$2
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/gui_session.sh" && gui_session_start || exit 1
command -v xdotool >/dev/null || { echo "xdotool is missing"; exit 1; }

client="$work/real-keys/client"
rm -rf "$work/real-keys" && mkdir -p "$client/Reachkit"
cp -r "$repo_root/demo/Sys" "$repo_root/demo/Bin" "$client/" && cp "$exe" "$client/Reachkit/"

failures=0
check() {  # DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}
# find TITLE SECONDS: the id of the visible window whose title matches, waiting for it.
find() {
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 | grep . && return 0
    sleep 0.1
  done
  return 1
}
gone() {  # TITLE SECONDS
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}
# focus WINDOW: give it the X focus and wait until the server reports it there.
focus() {
  local i
  for ((i = 0; i < 50; i++)); do
    xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1" 2>/dev/null
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && { sleep 0.3; return 0; }
    sleep 0.1
  done
  return 1
}
# keys WINDOW KEY...: focus the window, then type through the X server.
keys() {
  focus "$1"
  shift
  local key
  for key in "$@"; do xdotool key --delay 150 "$key"; sleep 0.4; done
}
# popups: how many popup menus are up; each is an untitled top-level window of the program.
popups() {
  local w n=0
  for w in $(xdotool search --onlyvisible --class '^reachkit\.exe$' 2>/dev/null); do
    [ -z "$(xdotool getwindowname "$w" 2>/dev/null)" ] && n=$((n + 1))
  done
  echo "$n"
}
# menu WINDOW KEY COMMAND...: Alt+Space over WINDOW, and once the system menu is up, KEY; then
# COMMAND, which waits for the key's effect (and may print a window's id). The letter waits for
# the menu: typed before the menu is up on a busy machine, it is lost and the menu opens late,
# swallowing every key after it. Keys can still be lost while the X focus reaches Wine, so a
# menu that never showed is asked for again.
menu() {
  local attempt i before
  for attempt in 1 2 3; do
    before=$(popups)
    keys "$1" alt+space
    for ((i = 0; i < 100; i++)); do [ "$(popups)" -gt "$before" ] && break; sleep 0.1; done
    if [ "$i" -lt 100 ]; then
      xdotool key "$2"
      "${@:3}" && return 0
      [ "$(popups)" -gt "$before" ] && xdotool key Escape
    fi
    sleep 1
  done
  show_windows >&2
  return 1
}
# On a failure, what the X server shows: enough to tell a lost key from a window that never came.
show_windows() { echo "--- X focus $(xdotool getwindowfocus 2>/dev/null)"; xwininfo -root -children | grep -E '^ +0x' | grep -v '1x1+'; }

"$repo_root/cmake/wine-run.sh" "$client/Reachkit/Reachkit.exe" </dev/null >/dev/null 2>&1 &
program=$!
main=$(find "^網路工具箱 " 60)
check "the main window opens" test -n "$main" || exit 1
sleep 1
# The X focus leaves the program for a moment (on one CI machine it did so by itself), then
# comes back through focus(): keys typed after that must still reach the window.
xdotool windowfocus "$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')" 2>/dev/null
sleep 0.5

checker=$(menu "$main" k find "^檢查全部主機$" 10)
check "Alt+Space then K opens the check window" test -n "$checker"
if [ -n "$checker" ]; then
  sleep 2  # the demo's loopback hosts answer at once: the check is over, Escape closes
  keys "$checker" Escape
  check "Escape closes the check window" gone "^檢查全部主機$" 5
  check "and leaves the program running" kill -0 "$program"
  main=$(find "^網路工具箱 " 5)
fi

ranker=$(menu "$main" l find "^建議連線位置$" 10)
check "Alt+Space then L opens the ranking window" test -n "$ranker"
if [ -n "$ranker" ]; then
  sleep 1
  keys "$ranker" Tab Escape
  check "Tab, then Escape closes the ranking window" gone "^建議連線位置$" 5
  check "and leaves the program running" kill -0 "$program"
  main=$(find "^網路工具箱 " 5)
fi
check "Alt+Space then C closes the program" menu "$main" c gone "^網路工具箱 " 10
for _ in $(seq 1 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
kill "$program" 2>/dev/null
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
