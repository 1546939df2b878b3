#!/usr/bin/env python3
"""check_pictures.py PNG_FOLDER: every button picture an 8-bit RGBA PNG of its
size; every faded one its partner's colours with each alpha a turned into
floor(a * 0.1 + 0.5), so 255 gives 26. Exits 1 at the first fault."""
import struct
import sys
import zlib
from pathlib import Path

WIDTHS = {136: 64, 138: 64, 139: 64, 140: 64, 141: 64, 142: 64, 143: 64, 144: 192, 146: 192}
FADED = {139: 138, 141: 140, 143: 142}


def rows_of(path):
    data, pos, idat = path.read_bytes(), 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if (depth, colour, interlace, height) != (8, 6, 0, 64):
                sys.exit(f"{path.name}: not a 64 pixel high 8-bit RGBA PNG")
        idat += body if kind == b"IDAT" else b""
        pos += 12 + length
    raw, stride, rows, prev = zlib.decompress(idat), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:][:stride])
        for i in range(stride):
            a, b, c = line[i - 4] if i >= 4 else 0, prev[i], prev[i - 4] if i >= 4 else 0
            p = a + b - c
            distances = [abs(p - a), abs(p - b), abs(p - c)]
            paeth = (a, b, c)[distances.index(min(distances))]
            line[i] = (line[i] + [0, a, b, (a + b) // 2, paeth][kind]) & 0xFF
        rows.append(line)
        prev = line
    return width, rows


pictures = {int(p.name.split("-")[0]): rows_of(p) for p in Path(sys.argv[1]).glob("*.png")}
if {i: w for i, (w, _) in pictures.items()} != WIDTHS:
    sys.exit(f"pictures and widths: {sorted((i, w) for i, (w, _) in pictures.items())}")
for faded, partner in FADED.items():
    for y, (row, base) in enumerate(zip(pictures[faded][1], pictures[partner][1])):
        for x in range(0, len(row), 4):
            alpha = (base[x + 3] * 10 + 50) // 100
            if row[x + 3] != alpha or (alpha and row[x:x + 3] != base[x:x + 3]):
                sys.exit(f"{faded}: pixel ({x // 4},{y}) is {tuple(row[x:x + 4])}, "
                         f"its partner's {tuple(base[x:x + 4])}")
print(f"{len(pictures)} pictures ok")
