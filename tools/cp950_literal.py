#!/usr/bin/env python3
"""Prints a C++ string literal holding the code page 950 bytes of each UTF-8 argument.

Used when adding a text to src/base/texts.h: every byte of a double-byte
character is escaped, and a literal is split where an escape is followed by a
hex digit, so the compiler never merges the two.
"""
import sys


def literal(text: str) -> str:
    data = text.encode("cp950")
    out, i, escaped = ['"'], 0, False
    while i < len(data):
        c = data[i]
        if c >= 0x81 and i + 1 < len(data):
            out.append("\\x%02X\\x%02X" % (c, data[i + 1]))
            i, escaped = i + 2, True
            continue
        ch = chr(c)
        if escaped and ch in "0123456789abcdefABCDEF":
            out.append('" "')
        if ch in '\\"':
            out.append("\\" + ch)
        elif 32 <= c < 127:
            out.append(ch)
        else:
            out.append("\\x%02X" % c)
        escaped = False
        i += 1
    out.append('"')
    return "".join(out)


if __name__ == "__main__":
    for arg in sys.argv[1:]:
        print(f"{literal(arg)}  // {arg}")
