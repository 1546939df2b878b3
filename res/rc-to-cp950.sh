#!/usr/bin/env bash
# rc-to-cp950.sh IN.rc OUT.rc: converts a UTF-8 resource script to code page
# 950 for windres. Fails on a character windres would misread: one whose
# trail byte is 0x5C ('\'), the escape character of resource strings.
set -euo pipefail
iconv -f UTF-8 -t CP950 "$1" > "$2.tmp"
if ! python3 - "$2.tmp" "$1" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
i, line, bad = 0, 1, []
while i < len(data):
    c = data[i]
    if c == 0x0A:
        line += 1
    if 0x81 <= c <= 0xFE and i + 1 < len(data):
        if data[i + 1] == 0x5C:
            bad.append("%s:%d: %s" % (sys.argv[2], line, data[i:i + 2].decode("cp950")))
        i += 2
        continue
    i += 1
for b in bad:
    print(b + " ends in byte 0x5C; write it as an escape", file=sys.stderr)
sys.exit(1 if bad else 0)
PY
then
  rm -f "$2.tmp"
  exit 1
fi
mv "$2.tmp" "$2"
