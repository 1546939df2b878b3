#!/usr/bin/env bash
# Runs a Windows executable under Wine with the settings every test relies on:
# code page 950 as the ANSI code page and no Wine debug chatter. The prefix is
# REACHKIT_WINEPREFIX when set, else one beside the build tree.
#
# Output goes through files, not straight to the caller: the first Wine process
# of a server starts Wine's services, which inherit its descriptors and outlive
# it, so a caller's pipe (ctest's) would never see its end.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${REACHKIT_WINEPREFIX:-${WINEPREFIX:-$here/build/wineprefix}}
export WINEDEBUG=-all LC_ALL=zh_TW.UTF-8 WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1 || true
fi
"$here/cmake/wine-fonts.sh" || true
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
wine "$@" >"$out" 2>"$err"
rc=$?
cat "$out"
cat "$err" >&2
exit $rc
