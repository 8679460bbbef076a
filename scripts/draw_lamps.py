#!/usr/bin/env python3
"""Draws the lamp images lightOn.png (red disc) and lightOff.png (black disc), 24 x 24
pixels with soft edges, into resources/images/. Only the standard library is needed."""
import math
import os
import struct
import zlib

SIZE = 24
RADIUS = 10.5
SAMPLES = 4  # per pixel side, for the edge coverage


def coverage(px, py):
    centre = SIZE / 2.0
    inside = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = px + (sx + 0.5) / SAMPLES
            y = py + (sy + 0.5) / SAMPLES
            if math.hypot(x - centre, y - centre) <= RADIUS:
                inside += 1
    return inside / (SAMPLES * SAMPLES)


def png(rgb):
    rows = b""
    for py in range(SIZE):
        row = bytearray([0])  # no filter
        for px in range(SIZE):
            row += bytes(rgb) + bytes([round(255 * coverage(px, py))])
        rows += bytes(row)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "images")
    os.makedirs(folder, exist_ok=True)
    for name, rgb in (("lightOn.png", (230, 0, 0)), ("lightOff.png", (0, 0, 0))):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(png(rgb))


if __name__ == "__main__":
    main()
