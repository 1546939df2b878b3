#!/usr/bin/env bash
# Runs a Windows executable under Wine with the settings every test relies on:
# code page 950 as the ANSI code page and no Wine debug chatter. The prefix is
# REACHKIT_WINEPREFIX when set, else one beside the build tree.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${REACHKIT_WINEPREFIX:-${WINEPREFIX:-$here/build/wineprefix}}
export WINEDEBUG=-all LC_ALL=zh_TW.UTF-8 WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
fi
exec wine "$@"
