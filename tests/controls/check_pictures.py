#!/usr/bin/env python3
"""check_pictures.py PNG_FOLDER: every button picture an 8-bit RGBA PNG of its size, every faded
one its partner's colours with each alpha a as floor(a * 0.1 + 0.5). Exits 1 at a fault."""
import struct
import sys
import zlib
from pathlib import Path

WIDTHS = {136: 64, 138: 64, 139: 64, 140: 64, 141: 64, 142: 64, 143: 64, 144: 192, 146: 192}


def pixels(path):
    data, pos, idat = path.read_bytes(), 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body, pos = data[pos + 8:pos + 8 + length], pos + 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
        idat += body if kind == b"IDAT" else b""
    if (height, depth, colour, interlace) != (64, 8, 6, 0):
        sys.exit(f"{path.name}: not a 64 pixel high 8-bit RGBA PNG")
    raw, stride, out, prev = zlib.decompress(idat), width * 4, bytearray(), bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:][:stride])
        for i in range(stride):
            a, b, c = line[i - 4] if i >= 4 else 0, prev[i], prev[i - 4] if i >= 4 else 0
            near = [abs(a + b - c - a), abs(a + b - c - b), abs(a + b - c - c)]  # Paeth
            paeth = (a, b, c)[near.index(min(near))]
            line[i] = (line[i] + [0, a, b, (a + b) // 2, paeth][kind]) % 256
        out, prev = out + line, line
    return width, out


pictures = {int(p.name.split("-")[0]): pixels(p) for p in Path(sys.argv[1]).glob("*.png")}
if {i: width for i, (width, _) in pictures.items()} != WIDTHS:
    sys.exit(f"pictures and widths: {sorted((i, w) for i, (w, _) in pictures.items())}")
for faded, partner in ((139, 138), (141, 140), (143, 142)):
    new, old = pictures[faded][1], pictures[partner][1]
    for i in range(0, len(old), 4):
        alpha = (old[i + 3] * 10 + 50) // 100
        if new[i + 3] != alpha or (alpha and new[i:i + 3] != old[i:i + 3]):
            sys.exit(f"{faded}: pixel {i // 4} is {tuple(new[i:i + 4])}, not {alpha} over "
                     f"{tuple(old[i:i + 3])}")
