#!/usr/bin/env python3
"""Writes placeholder.png: the tile the map view shows where no map tile has been drawn yet.

A light grey 256 x 256 tile with a faint grid that lines up across neighbouring tiles and the
Orvan mark in the middle: a ring around a compass point, above a short bar. 8-bit RGB, and exactly
8787 bytes: the picture is compressed as well as zlib can, and the rest is filled with a text chunk
(ancillary, so every decoder skips it). Standard library only.

    python3 resources/make_placeholder.py [output path]
"""
import math
import struct
import sys
import zlib

SIZE = 256
FILE_SIZE = 8787
BACKGROUND = (226, 226, 224)
GRID = (212, 212, 210)
MARK = (168, 172, 180)
SUPERSAMPLE = 4  # samples per axis for smooth edges of the mark


def mark_coverage(x, y):
    """How much of pixel (x, y) the mark covers, 0.0 to 1.0."""
    hits = 0
    for sy in range(SUPERSAMPLE):
        for sx in range(SUPERSAMPLE):
            px = x + (sx + 0.5) / SUPERSAMPLE - 128.0
            py = y + (sy + 0.5) / SUPERSAMPLE - 118.0
            r = math.hypot(px, py)
            ring = 30.0 <= r <= 38.0
            # A four-pointed compass star inside the ring: |x|^0.5 + |y|^0.5 <= 22^0.5.
            star = math.sqrt(abs(px)) + math.sqrt(abs(py)) <= math.sqrt(22.0)
            bar = -26.0 <= px <= 26.0 and 50.0 <= py <= 56.0
            hits += ring or star or bar
    return hits / (SUPERSAMPLE * SUPERSAMPLE)


def pixel(x, y):
    base = GRID if (x % 64 == 0 or y % 64 == 0) else BACKGROUND
    near_mark = 80 <= x <= 176 and 70 <= y <= 180
    c = mark_coverage(x, y) if near_mark else 0.0
    return tuple(round(b + (m - b) * c) for b, m in zip(base, MARK))


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def build():
    rows = bytearray()
    for y in range(SIZE):
        rows.append(0)  # filter: none
        for x in range(SIZE):
            rows.extend(pixel(x, y))
    head = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0))
    image = chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    end = chunk(b"IEND", b"")
    keyword = b"Comment\x00"
    room = FILE_SIZE - len(head) - len(image) - len(end) - 12 - len(keyword)
    if room < 0:
        sys.exit(f"the picture needs {-room} bytes more than {FILE_SIZE}")
    text = (b"Orvan map placeholder tile " * (room // 27 + 1))[:room]
    png = head + chunk(b"tEXt", keyword + text) + image + end
    assert len(png) == FILE_SIZE
    return png


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "placeholder.png"
    with open(out, "wb") as f:
        f.write(build())
