#!/usr/bin/env bash
# wine-fonts.sh: maps the program's dialog fonts to the Debian CJK font in the
# Wine prefix WINEPREFIX (cmake/wine-fonts.reg). Idempotent: a prefix that
# already has the mapping is left alone, without starting Wine.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${WINEPREFIX:?}"
grep -q 'WenQuanYi Micro Hei' "$WINEPREFIX/user.reg" 2>/dev/null &&
  grep -q 'WenQuanYi Micro Hei' "$WINEPREFIX/system.reg" 2>/dev/null && exit 0
reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$here/wine-fonts.reg"; } >"$reg"
WINEDEBUG=-all LC_ALL=zh_TW.UTF-8 wine regedit /S "Z:${reg//\//\\}" </dev/null >/dev/null 2>&1
