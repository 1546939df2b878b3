#!/usr/bin/env python3
"""Checks the committed button pictures in res/png against what the program needs.

Every picture: a PNG of the listed size, 8 bits per channel, colour type 6
(RGBA), not interlaced, with some opaque ink and a transparent background.
Every faded picture: its partner's colours with each alpha value a turned into
floor(a * 0.1 + 0.5), so 255 gives 26.
Prints one line per failure and exits 1 if there was any.
Usage: check_pictures.py [png folder]
"""
import os
import struct
import sys
import zlib

PICTURES = {  # id: (file stem, width, height)
    136: ("clear", 64, 64),
    138: ("ping", 64, 64),
    140: ("telnet", 64, 64),
    142: ("trace", 64, 64),
    144: ("connect-setting", 192, 64),
    146: ("proxy-setting", 192, 64),
}
FADED = {139: 138, 141: 140, 143: 142}


def read_png(path):
    """Returns (header dict, rows of RGBA byte strings)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG signature")
    pos, header, idat = 8, None, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])[0]
        if zlib.crc32(kind + body) & 0xFFFFFFFF != crc:
            raise ValueError("bad CRC in chunk %r" % kind)
        if kind == b"IHDR":
            w, h, depth, ctype, comp, filt, inter = struct.unpack(">IIBBBBB", body)
            header = dict(width=w, height=h, depth=depth, ctype=ctype, interlace=inter)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
        pos += 12 + length
    if header is None:
        raise ValueError("no IHDR")
    if header["depth"] != 8 or header["ctype"] != 6 or header["interlace"] != 0:
        return header, None
    raw = zlib.decompress(idat)
    stride = header["width"] * 4
    rows, prev = [], bytearray(stride)
    for y in range(header["height"]):
        start = y * (stride + 1)
        ftype, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            if ftype == 1:
                line[i] = (line[i] + a) & 0xFF
            elif ftype == 2:
                line[i] = (line[i] + b) & 0xFF
            elif ftype == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif ftype == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 0xFF
            elif ftype != 0:
                raise ValueError("unknown filter %d" % ftype)
        rows.append(bytes(line))
        prev = line
    return header, rows


def find(folder, pid, suffix=""):
    names = [n for n in os.listdir(folder) if n.startswith("%d-" % pid) and n.endswith(suffix + ".png")]
    return os.path.join(folder, names[0]) if len(names) == 1 else None


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "res", "png")
    failures = []
    decoded = {}
    for pid, (stem, width, height) in PICTURES.items():
        path = os.path.join(folder, "%d-%s.png" % (pid, stem))
        try:
            header, rows = read_png(path)
        except (OSError, ValueError, zlib.error) as error:
            failures.append("%d: %s" % (pid, error))
            continue
        if (header["width"], header["height"]) != (width, height):
            failures.append("%d: size %dx%d, wanted %dx%d" % (pid, header["width"], header["height"], width, height))
        if rows is None:
            failures.append("%d: not 8-bit RGBA non-interlaced: %r" % (pid, header))
            continue
        alphas = [row[i] for row in rows for i in range(3, len(row), 4)]
        if alphas.count(255) < 50 or alphas.count(0) < len(alphas) // 2:
            failures.append("%d: wanted opaque ink on a mostly transparent background" % pid)
        decoded[pid] = rows
    for pid, partner in FADED.items():
        path = find(folder, pid, "-faded")
        if path is None:
            failures.append("%d: no single file %d-*-faded.png" % (pid, pid))
            continue
        try:
            header, rows = read_png(path)
        except (OSError, ValueError, zlib.error) as error:
            failures.append("%d: %s" % (pid, error))
            continue
        if rows is None:
            failures.append("%d: not 8-bit RGBA non-interlaced: %r" % (pid, header))
            continue
        original = decoded.get(partner)
        if original is None or len(rows) != len(original) or len(rows[0]) != len(original[0]):
            failures.append("%d: size differs from its partner %d" % (pid, partner))
            continue
        bad = 0
        for y, (row, base) in enumerate(zip(rows, original)):
            for x in range(0, len(row), 4):
                want_alpha = (base[x + 3] * 10 + 50) // 100  # floor(a * 0.1 + 0.5)
                if row[x + 3] != want_alpha or (want_alpha and row[x:x + 3] != base[x:x + 3]):
                    if bad < 3:
                        failures.append("%d: pixel (%d,%d) is %s, partner %s" % (
                            pid, x // 4, y, tuple(row[x:x + 4]), tuple(base[x:x + 4])))
                    bad += 1
        if bad:
            failures.append("%d: %d pixels break the 10 %% rule" % (pid, bad))
        if max(row[i] for row in rows for i in range(3, len(row), 4)) != 26:
            failures.append("%d: an opaque partner pixel must fade to exactly 26" % pid)
    for line in failures:
        print(line)
    print("%d pictures checked, %d failures" % (len(PICTURES) + len(FADED), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
